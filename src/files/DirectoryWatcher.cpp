#include "DirectoryWatcher.h"

#include "LarkLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

// ---------------------------------------------------------------------------------------------
// What may be watched: the regular files and the folders of the tree, reached without leaving
// it. FIFOs, sockets and devices are left out (they are never opened: a reader of a FIFO waits
// for a writer for good), and so is a link whose target lies outside the watched folder.

enum class EntryType { Missing, File, Folder, Special };

enum SkipReason { SpecialFile, LinkOutside, UnreadableNames };

struct FolderEntry
{
    QString name;
    bool link = false;
    EntryType type = EntryType::Missing; // of the target, for a link
};

// The folder as it is now: its canonical path (empty when there is no folder) and, where the
// system tells it, the identity of the folder itself, which a folder made anew does not share.
struct FolderIdentity
{
    QString canonical;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FolderIdentity& other) const
    {
        return canonical == other.canonical && device == other.device && inode == other.inode;
    }
};

// Both paths canonical.
bool isInside(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path.startsWith(folder) && (path.size() == folder.size() || path.at(folder.size()) == QLatin1Char('/'));
}

#ifdef Q_OS_UNIX

EntryType typeOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryType::File;
    if (S_ISDIR(mode))
        return EntryType::Folder;
    return EntryType::Special;
}

// Links followed; nothing is opened.
EntryType entryType(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return EntryType::Missing;
    return typeOfMode(st.st_mode);
}

FolderIdentity identityOf(const QString& path)
{
    FolderIdentity identity;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    struct stat st;
    if (!canonical.isEmpty() && ::stat(QFile::encodeName(canonical).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        identity.canonical = canonical;
        identity.device = quint64(st.st_dev);
        identity.inode = quint64(st.st_ino);
    }
    return identity;
}

// The visible entries of folder, read straight from the system: Qt's listing leaves out names
// that are no valid text without a word, they are counted in unreadable instead.
QVector<FolderEntry> listFolder(const QString& folder, int& unreadable)
{
    QVector<FolderEntry> entries;
    const QByteArray native = QFile::encodeName(folder);
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return entries;
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray raw(item->d_name);
        if (raw.startsWith('.')) // hidden, "." and ".."
            continue;
        FolderEntry entry;
        entry.name = QFile::decodeName(raw);
        if (QFile::encodeName(entry.name) != raw) {
            ++unreadable;
            continue;
        }
        unsigned char kind = 0; // unknown
#ifdef DT_UNKNOWN
        kind = item->d_type;
        if (kind == DT_REG)
            entry.type = EntryType::File;
        else if (kind == DT_DIR)
            entry.type = EntryType::Folder;
        else if (kind != DT_UNKNOWN && kind != DT_LNK)
            entry.type = EntryType::Special;
        else
            kind = 0;
#endif
        if (kind == 0) {
            const QByteArray path = native + '/' + raw;
            struct stat st;
            if (::lstat(path.constData(), &st) != 0)
                continue; // gone meanwhile
            entry.link = S_ISLNK(st.st_mode);
            if (!entry.link)
                entry.type = typeOfMode(st.st_mode);
            else if (::stat(path.constData(), &st) == 0)
                entry.type = typeOfMode(st.st_mode);
        }
        entries.append(entry);
    }
    ::closedir(dir);
    return entries;
}

#else

EntryType entryType(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return EntryType::Missing;
    return info.isDir() ? EntryType::Folder : info.isFile() ? EntryType::File : EntryType::Special;
}

FolderIdentity identityOf(const QString& path)
{
    FolderIdentity identity;
    if (QFileInfo(path).isDir())
        identity.canonical = QFileInfo(path).canonicalFilePath();
    return identity;
}

QVector<FolderEntry> listFolder(const QString& folder, int&)
{
    QVector<FolderEntry> entries;
    const QFileInfoList infos =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& info : infos) {
        FolderEntry entry;
        entry.name = info.fileName();
        entry.link = info.isSymLink();
        entry.type = !info.exists() ? EntryType::Missing
            : info.isDir()          ? EntryType::Folder
            : info.isFile()         ? EntryType::File
                                    : EntryType::Special;
        entries.append(entry);
    }
    return entries;
}

#endif

struct Skipped
{
    QString path;
    SkipReason reason;
    int count;
};

struct TreeWalk
{
    QString root; // canonical path of the watched folder
    QStringList files;
    QStringList folders;
    QVector<Skipped> skipped;
    QStringList walking; // canonical paths of the folders being walked: a link back to one is a loop
};

// Lists the files and folders below folder (canonical: its canonical path) in name order,
// ignoring case, each as folder + "/" + its path inside it.
void walkFolder(TreeWalk& walk, const QString& folder, const QString& canonical)
{
    int unreadable = 0;
    QVector<FolderEntry> entries = listFolder(folder, unreadable);
    if (unreadable > 0)
        walk.skipped.append({folder, UnreadableNames, unreadable});
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const QString canonicalPrefix = canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
    walk.walking.append(canonical);
    for (const FolderEntry& entry : qAsConst(entries)) {
        if (entry.type == EntryType::Missing) // a dangling link, or gone meanwhile
            continue;
        const QString path = prefix + entry.name;
        QString target = canonicalPrefix + entry.name;
        if (entry.link) {
            target = QFileInfo(path).canonicalFilePath();
            if (target.isEmpty())
                continue;
            if (!isInside(target, walk.root)) {
                walk.skipped.append({path, LinkOutside, 1});
                continue;
            }
        }
        switch (entry.type) {
        case EntryType::Folder:
            if (!walk.walking.contains(target)) {
                walk.folders.append(path);
                walkFolder(walk, path, target);
            }
            break;
        case EntryType::File:
            walk.files.append(path);
            break;
        case EntryType::Special:
            walk.skipped.append({path, SpecialFile, 1});
            break;
        case EntryType::Missing:
            break;
        }
    }
    walk.walking.removeLast();
}

// ---------------------------------------------------------------------------------------------

// Qt's cost of adding a path grows with the list of its watcher: files are spread over watchers
// of this many paths. Each watcher takes one inotify instance (128 per user by default), so
// their number is bounded and, beyond it, the smallest one takes the next slice.
const int SHARD_FILES = 512;
const int MAX_SHARDS = 16;

// The paths not in watched: Qt would check the whole tree against its lists again.
QStringList notWatched(const QStringList& paths, const QSet<QString>& watched)
{
    QStringList fresh;
    for (const QString& path : paths)
        if (!watched.contains(path))
            fresh.append(path);
    return fresh;
}

} // namespace

DirectoryWatcher::DirectoryWatcher(QObject* parent)
    : QObject(parent)
    , mWatcher(nullptr)
{
}

DirectoryWatcher::~DirectoryWatcher()
{
    delete mWatcher;
}

bool DirectoryWatcher::setPath(const QString& path)
{
    delete mWatcher;
    mShards.clear();
    mPendingRescans.clear();
    mWatchedFiles.clear();
    mSkipped.clear();
    mRefused.clear();
    mParentFolder.clear();
    ++mGeneration;
    mWatcher = new QFileSystemWatcher(this);
    connect(mWatcher, SIGNAL(fileChanged(QString)), this, SLOT(onFilemod(QString)));
    connect(mWatcher, SIGNAL(directoryChanged(QString)), this, SLOT(onDirMod(QString)));
    mShards.append(mWatcher);

    // Files found now are the starting point, not news.
    const bool wasBlocked = blockSignals(true);
    mPath = path;
    const FolderIdentity root = identityOf(path);
    mCanonicalRoot = root.canonical;
    mRootDevice = root.device;
    mRootInode = root.inode;
    bool result;
    if (root.canonical.isEmpty()) {
        LARK_CRITICAL << "Wrong path";
        result = false;
    } else {
        result = addDir(path);
        // Qt tells of a watched folder removed, not of one renamed: that shows in its parent.
        // Watched last, and only if there is room left: the tree comes first.
        const QString parent = QFileInfo(QDir::cleanPath(QFileInfo(path).absoluteFilePath())).absolutePath();
        if (mWatcher && identityOf(parent).canonical != mCanonicalRoot && mWatcher->addPath(parent))
            mParentFolder = parent;
    }
    blockSignals(wasBlocked);
    return result;
}

// False, once with a critical message, when the watched folder is no longer the one given to
// setPath (removed, renamed, or another one made in its place): the notifications that still
// come then are about a tree that moved away, and watching stops.
bool DirectoryWatcher::rootIsIntact()
{
    if (!mWatcher)
        return false;
    if (identityOf(mPath) == FolderIdentity{mCanonicalRoot, mRootDevice, mRootInode})
        return true;
    LARK_CRITICAL << "Watched folder removed, renamed or replaced, watching stopped :" << mPath;
    stopWatching();
    return false;
}

void DirectoryWatcher::stopWatching()
{
    for (QFileSystemWatcher* shard : qAsConst(mShards))
        shard->disconnect(this);
    mWatcher->deleteLater(); // it may be emitting right now; the other watchers are its children
    mWatcher = nullptr;
    mShards.clear();
    mPendingRescans.clear();
    mWatchedFiles.clear();
    ++mGeneration;
}

void DirectoryWatcher::warnSkipped(const QString& path, int reason, int count)
{
    // Once per entry (per folder and number of unreadable names), not at every re-scan.
    const QString key = reason == UnreadableNames ? path + QLatin1Char('\n') + QString::number(count) : path;
    if (mSkipped.contains(key))
        return;
    mSkipped.insert(key);
    switch (reason) {
    case SpecialFile:
        LARK_WARNING << "special file (FIFO, socket or device) not watched :" << path;
        break;
    case LinkOutside:
        LARK_WARNING << "link leading out of the watched folder not followed :" << path;
        break;
    case UnreadableNames:
        LARK_WARNING << "entries whose names are not valid text left out :" << count << "in" << path;
        break;
    }
}

QFileSystemWatcher* DirectoryWatcher::shardWithRoom()
{
    QFileSystemWatcher* smallest = mShards.first();
    for (QFileSystemWatcher* shard : qAsConst(mShards)) {
        if (shard->files().size() < SHARD_FILES)
            return shard;
        if (shard->files().size() < smallest->files().size())
            smallest = shard;
    }
    if (mShards.size() >= MAX_SHARDS)
        return smallest;
    auto* shard = new QFileSystemWatcher(mWatcher); // goes with the main watcher
    connect(shard, SIGNAL(fileChanged(QString)), this, SLOT(onFilemod(QString)));
    mShards.append(shard);
    return shard;
}

// Watches the given files, not watched yet; returns those now watched. refused gets those that
// the system refused and that still exist (a file removed meanwhile is simply gone; one that
// exists again after a failure gets a second try).
QStringList DirectoryWatcher::watchFiles(const QStringList& fresh, QStringList& refused)
{
    QStringList added;
    for (int next = 0; next < fresh.size();) {
        QFileSystemWatcher* shard = shardWithRoom();
        const int room = qMax(SHARD_FILES - shard->files().size(), SHARD_FILES / 4);
        const QStringList slice = fresh.mid(next, room);
        next += slice.size();
        // Still there after a failure: refused, or removed and created anew meanwhile (one more try).
        QStringList pending = slice;
        for (int attempt = 0; attempt < 2 && !pending.isEmpty(); ++attempt) {
            const QStringList failed = shard->addPaths(pending);
            const QSet<QString> failedSet(failed.cbegin(), failed.cend());
            QStringList again;
            for (const QString& path : qAsConst(pending)) {
                if (!failedSet.contains(path))
                    added.append(path);
                else if (QFileInfo::exists(path))
                    again.append(path);
            }
            pending = again;
        }
        refused += pending;
    }
    return added;
}

bool DirectoryWatcher::addDir(const QString& dir)
{
    if (!rootIsIntact())
        return false;
    // A folder of the tree that has become a link out of it, or is gone, is not walked.
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    if (canonical.isEmpty() || entryType(dir) != EntryType::Folder || !isInside(canonical, mCanonicalRoot))
        return true;
    mWatcher->addPath(dir);

    TreeWalk walk;
    walk.root = mCanonicalRoot;
    walkFolder(walk, dir, canonical);
    for (const Skipped& skipped : qAsConst(walk.skipped))
        warnSkipped(skipped.path, skipped.reason, skipped.count);

    // Folders first: a watched folder shows what appears in it, even where a file of it cannot
    // be watched. A path refused leaves the others watched, and their new files reported.
    QStringList refusedFolders;
    const QStringList watchedList = mWatcher->directories();
    const QStringList freshFolders = notWatched(walk.folders, QSet<QString>(watchedList.cbegin(), watchedList.cend()));
    if (!freshFolders.isEmpty())
        for (const QString& folder : mWatcher->addPaths(freshFolders))
            if (QFileInfo(folder).isDir()) // not removed meanwhile
                refusedFolders.append(folder);

    QStringList refused;
    const QStringList added = watchFiles(notWatched(walk.files, mWatchedFiles), refused);
    for (const QString& file : added) {
        mWatchedFiles.insert(file);
        // Watched at last, or a file again: told anew if it is refused or turns special later.
        if (!mSkipped.isEmpty())
            mSkipped.remove(file);
        if (!mRefused.isEmpty())
            mRefused.remove(file);
    }
    refused += refusedFolders;
    // Each re-scan of the folder tries a refused path again; it is told the first time only.
    QStringList untold;
    for (const QString& path : qAsConst(refused))
        if (!mRefused.contains(path))
            untold.append(path);
    if (!untold.isEmpty()) {
        LARK_CRITICAL << "Impossible to add to Watcher :" << untold;
        mRefused.unite(QSet<QString>(untold.cbegin(), untold.cend()));
    }
    for (const QString& file : added)
        emit addedFiles(file);
    return refused.isEmpty();
}

void DirectoryWatcher::onDirMod(const QString& str)
{
    if (str == mParentFolder) { // not part of the tree: only the watched folder's fate matters there
        rootIsIntact();
        return;
    }
    addDir(str);
    if (!mWatcher) // stopped
        return;
    // Once more from the event loop, for files that appear meanwhile; one pending pass per folder.
    if (mPendingRescans.contains(str))
        return;
    mPendingRescans.insert(str);
    const quint64 generation = mGeneration;
    QTimer::singleShot(0, this, [this, str, generation] {
        if (generation != mGeneration) // setPath has replaced the tree meanwhile
            return;
        mPendingRescans.remove(str);
        addDir(str);
    });
}

void DirectoryWatcher::onFilemod(const QString& file)
{
    if (!rootIsIntact())
        return;
    // Qt stops watching a path whose file was removed or replaced: so do we, and the next
    // re-scan of its folder watches (and reports) whatever file is there now.
    auto* shard = qobject_cast<QFileSystemWatcher*>(sender());
    const bool stillWatched = shard && shard->files().contains(file);
    if (shard && !stillWatched)
        mWatchedFiles.remove(file);

    const EntryType type = entryType(file);
    if (type == EntryType::File && isInside(QFileInfo(file).canonicalFilePath(), mCanonicalRoot)) {
        emit modifiedFile(file);
        return;
    }
    // No file of the tree there any more: removed, or a FIFO, a folder or a link out of the tree
    // in its place. Whatever is there now is never reported as this file.
    if (type != EntryType::Missing) {
        if (stillWatched) {
            shard->removePath(file);
            mWatchedFiles.remove(file);
        }
        if (type == EntryType::Special)
            warnSkipped(file, SpecialFile, 1);
        else if (type == EntryType::File)
            warnSkipped(file, LinkOutside, 1);
    }
    emit deletedFile(file);
}
