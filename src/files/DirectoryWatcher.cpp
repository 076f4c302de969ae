#include "DirectoryWatcher.h"

#include "FileKindPrivate.h"
#include "LarkLog.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>
#include <QVector>

using LarkFiles::EntryKind;

namespace {

// ---------------------------------------------------------------------------------------------
// What may be watched: the regular files and the folders of the tree, reached without leaving
// it. FIFOs, sockets and devices are left out (they are never opened: a reader of a FIFO waits
// for a writer for good), and so is a link whose target lies outside the watched folder.

enum SkipReason { SpecialFile, LinkOutside, UnreadableNames };

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
// ignoring case, each as folder + "/" + its path inside it. The kinds come from the listing
// itself: only links and entries of unknown type cost a stat.
void walkFolder(TreeWalk& walk, const QString& folder, const QString& canonical)
{
    const LarkFiles::FolderListing listing = LarkFiles::listFolder(folder, false, LarkFiles::ListingKinds::EntryType);
    if (!listing.unrepresentable.isEmpty())
        walk.skipped.append({folder, UnreadableNames, int(listing.unrepresentable.size())});
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const QString canonicalPrefix = canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
    walk.walking.append(canonical);
    for (const LarkFiles::FolderEntry& entry : listing.entries) {
        const EntryKind kind = entry.info.kind;
        if (kind == EntryKind::Missing) // a dangling link, or gone meanwhile
            continue;
        const QString path = prefix + entry.name;
        QString target = canonicalPrefix + entry.name;
        if (entry.info.isLink) {
            target = LarkFiles::linkTarget(path);
            if (target.isEmpty())
                continue;
            if (!LarkFiles::isInside(target, walk.root)) {
                walk.skipped.append({path, LinkOutside, 1});
                continue;
            }
        }
        if (kind == EntryKind::Folder) {
            if (!walk.walking.contains(target)) {
                walk.folders.append(path);
                walkFolder(walk, path, target);
            }
        } else if (kind == EntryKind::File) {
            walk.files.append(path);
        } else {
            walk.skipped.append({path, SpecialFile, 1});
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

class DirectoryWatcherPrivate
{
public:
    explicit DirectoryWatcherPrivate(DirectoryWatcher* owner) : q(owner) {}

    QFileSystemWatcher* shardWithRoom();
    QStringList watchFiles(const QStringList& fresh, QStringList& refused);
    void stopWatching();

    DirectoryWatcher* const q;
    // Watches the folders and the first files; more files go to further watchers (its children)
    // because Qt checks every path it is given against the whole list of its watcher.
    QFileSystemWatcher* mWatcher = nullptr;
    QVector<QFileSystemWatcher*> mShards; // the watchers of files, mWatcher first
    QString mPath;
    // Folders whose deferred re-scan is already queued: one is enough for a burst.
    QSet<QString> mPendingRescans;
    // The files the watcher watches, kept beside its list so that a re-scan does not rebuild it.
    QSet<QString> mWatchedFiles;
    quint64 mGeneration = 0; // counts setPath calls, so that a stale deferred pass is dropped
    // The watched folder as it was at setPath: a notification from a tree moved away (or from
    // the folder made anew in its place) must not be taken for a change of the watched one.
    LarkFiles::FolderIdentity mRoot;
    QSet<QString> mSkipped; // entries left out and already warned about
    QSet<QString> mRefused; // paths whose watch was refused, already told
    QString mParentFolder; // watched too: the watched folder's own renaming shows only there
};

void DirectoryWatcherPrivate::stopWatching()
{
    for (QFileSystemWatcher* shard : qAsConst(mShards))
        shard->disconnect(q);
    mWatcher->deleteLater(); // it may be emitting right now; the other watchers are its children
    mWatcher = nullptr;
    mShards.clear();
    mPendingRescans.clear();
    mWatchedFiles.clear();
    ++mGeneration;
}

QFileSystemWatcher* DirectoryWatcherPrivate::shardWithRoom()
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
    QObject::connect(shard, SIGNAL(fileChanged(QString)), q, SLOT(onFilemod(QString)));
    mShards.append(shard);
    return shard;
}

// Watches the given files, not watched yet; returns those now watched. refused gets those that
// the system refused and that still exist (a file removed meanwhile is simply gone; one that
// exists again after a failure gets a second try).
QStringList DirectoryWatcherPrivate::watchFiles(const QStringList& fresh, QStringList& refused)
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

DirectoryWatcher::DirectoryWatcher(QObject* parent)
    : QObject(parent)
    , d(new DirectoryWatcherPrivate(this))
{
}

DirectoryWatcher::~DirectoryWatcher()
{
    delete d->mWatcher;
}

bool DirectoryWatcher::setPath(const QString& path)
{
    delete d->mWatcher;
    d->mShards.clear();
    d->mPendingRescans.clear();
    d->mWatchedFiles.clear();
    d->mSkipped.clear();
    d->mRefused.clear();
    d->mParentFolder.clear();
    ++d->mGeneration;
    d->mWatcher = new QFileSystemWatcher(this);
    connect(d->mWatcher, SIGNAL(fileChanged(QString)), this, SLOT(onFilemod(QString)));
    connect(d->mWatcher, SIGNAL(directoryChanged(QString)), this, SLOT(onDirMod(QString)));
    d->mShards.append(d->mWatcher);

    // Files found now are the starting point, not news.
    const bool wasBlocked = blockSignals(true);
    d->mPath = path;
    d->mRoot = LarkFiles::folderIdentity(path);
    bool result;
    if (d->mRoot.canonical.isEmpty()) {
        LARK_CRITICAL << "Wrong path";
        result = false;
    } else {
        result = addDir(path);
        // Qt tells of a watched folder removed, not of one renamed: that shows in its parent.
        // Watched last, and only if there is room left: the tree comes first.
        const QString parent = QFileInfo(QDir::cleanPath(QFileInfo(path).absoluteFilePath())).absolutePath();
        if (d->mWatcher && LarkFiles::folderIdentity(parent).canonical != d->mRoot.canonical
            && d->mWatcher->addPath(parent))
            d->mParentFolder = parent;
    }
    blockSignals(wasBlocked);
    return result;
}

bool DirectoryWatcher::rootIsIntact()
{
    if (!d->mWatcher)
        return false;
    if (LarkFiles::folderIdentity(d->mPath) == d->mRoot)
        return true;
    LARK_CRITICAL << "Watched folder removed, renamed or replaced, watching stopped :" << d->mPath;
    d->stopWatching();
    return false;
}

void DirectoryWatcher::warnSkipped(const QString& path, int reason, int count)
{
    // Once per entry (per folder and number of unreadable names), not at every re-scan.
    const QString key = reason == UnreadableNames ? path + QLatin1Char('\n') + QString::number(count) : path;
    if (d->mSkipped.contains(key))
        return;
    d->mSkipped.insert(key);
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

bool DirectoryWatcher::addDir(const QString& dir)
{
    if (!rootIsIntact())
        return false;
    // A folder of the tree that has become a link out of it, or is gone, is not walked.
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    if (canonical.isEmpty() || LarkFiles::entryInfo(dir).kind != EntryKind::Folder
        || !LarkFiles::isInside(canonical, d->mRoot.canonical))
        return true;
    d->mWatcher->addPath(dir);

    TreeWalk walk;
    walk.root = d->mRoot.canonical;
    walkFolder(walk, dir, canonical);
    for (const Skipped& skipped : qAsConst(walk.skipped))
        warnSkipped(skipped.path, skipped.reason, skipped.count);

    // Folders first: a watched folder shows what appears in it, even where a file of it cannot
    // be watched. A path refused leaves the others watched, and their new files reported.
    QStringList refusedFolders;
    const QStringList watchedList = d->mWatcher->directories();
    const QStringList freshFolders = notWatched(walk.folders, QSet<QString>(watchedList.cbegin(), watchedList.cend()));
    if (!freshFolders.isEmpty())
        for (const QString& folder : d->mWatcher->addPaths(freshFolders))
            if (QFileInfo(folder).isDir()) // not removed meanwhile
                refusedFolders.append(folder);

    QStringList refused;
    const QStringList added = d->watchFiles(notWatched(walk.files, d->mWatchedFiles), refused);
    for (const QString& file : added) {
        d->mWatchedFiles.insert(file);
        // Watched at last, or a file again: told anew if it is refused or turns special later.
        if (!d->mSkipped.isEmpty())
            d->mSkipped.remove(file);
        if (!d->mRefused.isEmpty())
            d->mRefused.remove(file);
    }
    refused += refusedFolders;
    // Each re-scan of the folder tries a refused path again; it is told the first time only.
    QStringList untold;
    for (const QString& path : qAsConst(refused))
        if (!d->mRefused.contains(path))
            untold.append(path);
    if (!untold.isEmpty()) {
        LARK_CRITICAL << "Impossible to add to Watcher :" << untold;
        d->mRefused.unite(QSet<QString>(untold.cbegin(), untold.cend()));
    }
    for (const QString& file : added)
        emit addedFiles(file);
    return refused.isEmpty();
}

void DirectoryWatcher::onDirMod(const QString& str)
{
    if (str == d->mParentFolder) { // not part of the tree: only the watched folder's fate matters there
        rootIsIntact();
        return;
    }
    addDir(str);
    if (!d->mWatcher) // stopped
        return;
    // Once more from the event loop, for files that appear meanwhile; one pending pass per folder.
    if (d->mPendingRescans.contains(str))
        return;
    d->mPendingRescans.insert(str);
    const quint64 generation = d->mGeneration;
    QTimer::singleShot(0, this, [this, str, generation] {
        if (generation != d->mGeneration) // setPath has replaced the tree meanwhile
            return;
        d->mPendingRescans.remove(str);
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
        d->mWatchedFiles.remove(file);

    const EntryKind kind = LarkFiles::entryInfo(file).kind;
    if (kind == EntryKind::File && LarkFiles::isInside(QFileInfo(file).canonicalFilePath(), d->mRoot.canonical)) {
        emit modifiedFile(file);
        return;
    }
    // No file of the tree there any more: removed, or a FIFO, a folder or a link out of the tree
    // in its place. Whatever is there now is never reported as this file.
    if (kind != EntryKind::Missing) {
        if (stillWatched) {
            shard->removePath(file);
            d->mWatchedFiles.remove(file);
        }
        if (LarkFiles::isSpecial(kind))
            warnSkipped(file, SpecialFile, 1);
        else if (kind == EntryKind::File)
            warnSkipped(file, LinkOutside, 1);
    }
    emit deletedFile(file);
}
