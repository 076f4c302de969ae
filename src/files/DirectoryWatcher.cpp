#include "DirectoryWatcher.h"

#include "FileKindPrivate.h"
#include "LarkLog.h"
#include "PlatformWatcher.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QVector>

#include <cstring>
#include <functional>

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
    // Where set, puts each folder under watch before it is listed (so that nothing made in it
    // meanwhile goes unseen); false when it could not: its files then go to filesUnwatched.
    std::function<bool(const QString&)> watchFolder;
    QStringList filesUnwatched;
    QHash<QString, QString> fileLinks; // link to a file of the tree -> that file's canonical path
};

void walkFolder(TreeWalk& walk, const QString& folder, const QString& canonical);

// Sorts one entry at path (target: its canonical path when it is no link) into the walk: a
// folder is walked, a file kept in files, anything else left out.
void walkEntry(TreeWalk& walk, const QString& path, QString target, const LarkFiles::EntryInfo& info, QStringList& files)
{
    const EntryKind kind = info.kind;
    if (kind == EntryKind::Missing) // a dangling link, or gone meanwhile
        return;
    if (info.isLink) {
        target = LarkFiles::linkTarget(path);
        if (target.isEmpty())
            return;
        if (!LarkFiles::isInside(target, walk.root)) {
            walk.skipped.append({path, LinkOutside, 1});
            return;
        }
    }
    if (kind == EntryKind::Folder) {
        if (!walk.walking.contains(target)) {
            walk.folders.append(path);
            walkFolder(walk, path, target);
        }
    } else if (kind == EntryKind::File) {
        files.append(path);
        if (info.isLink)
            walk.fileLinks.insert(path, target);
    } else {
        walk.skipped.append({path, SpecialFile, 1});
    }
}

// Lists the files and folders below folder (canonical: its canonical path) in name order,
// ignoring case, each as folder + "/" + its path inside it. The kinds come from the listing
// itself: only links and entries of unknown type cost a stat.
void walkFolder(TreeWalk& walk, const QString& folder, const QString& canonical)
{
    const bool watched = !walk.watchFolder || walk.watchFolder(folder);
    const LarkFiles::FolderListing listing = LarkFiles::listFolder(folder, false, LarkFiles::ListingKinds::EntryType);
    if (!listing.unrepresentable.isEmpty())
        walk.skipped.append({folder, UnreadableNames, int(listing.unrepresentable.size())});
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const QString canonicalPrefix = canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
    walk.walking.append(canonical);
    for (const LarkFiles::FolderEntry& entry : listing.entries)
        walkEntry(walk, prefix + entry.name, canonicalPrefix + entry.name, entry.info,
                  watched ? walk.files : walk.filesUnwatched);
    walk.walking.removeLast();
}

// The canonical paths from root down to folder (both canonical, folder inside root): the folders
// a walk from folder is already inside of, so that a link back to one of them is a loop.
QStringList ancestorsWithin(const QString& folder, const QString& root)
{
    QStringList ancestors;
    for (QString path = folder; LarkFiles::isInside(path, root);) {
        ancestors.prepend(path);
        if (path == root)
            break;
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            break;
        path = slash == 0 ? QStringLiteral("/") : path.left(slash);
    }
    return ancestors;
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


// Where the notifications come from: the system's own, one instance per watcher with a watch per
// folder (the default where there are some), or Qt's watchers, a watch per file and folder.
// LARKUTILS_WATCHER_BACKEND=qt chooses Qt's where both exist.
enum class Backend { Qt, Folders };

Backend chosenBackend()
{
    if (!LarkPlatform::FolderNotifier::isAvailable())
        return Backend::Qt;
    return qgetenv("LARKUTILS_WATCHER_BACKEND") == "qt" ? Backend::Qt : Backend::Folders;
}

// A folder path without its trailing "/", as the walk names folders.
QString folderKey(const QString& path)
{
    return path.size() > 1 && path.endsWith(QLatin1Char('/')) ? path.left(path.size() - 1) : path;
}

// Calls back when the descriptor has something to read (in the thread of its parent).
class ReadableNotifier : public QSocketNotifier
{
public:
    ReadableNotifier(int descriptor, QObject* parent, std::function<void()> onReadable)
        : QSocketNotifier(descriptor, QSocketNotifier::Read, parent)
        , mOnReadable(std::move(onReadable))
    {
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::SockAct)
            return QSocketNotifier::event(event);
        mOnReadable();
        return true;
    }

private:
    std::function<void()> mOnReadable;
};

} // namespace

class DirectoryWatcherPrivate
{
public:
    explicit DirectoryWatcherPrivate(DirectoryWatcher* owner) : q(owner) {}
    ~DirectoryWatcherPrivate() { release(); }

    QFileSystemWatcher* shardWithRoom();
    QStringList watchFiles(const QStringList& fresh, QStringList& refused);
    void release();
    void stopWatching();
    // Drops the notifier and every watch and path known (Qt's watchers already dealt with).
    void forgetWatches();

    // The folder back end.
    bool watchFolder(const QString& folder, QStringList& refused);
    void forgetWatch(int watch, const QString& folder);
    QStringList forgetFolder(const QString& folder);
    void readEvents();
    void handleEvent(const LarkPlatform::FolderEvent& event);
    void rescanEverything();
    QStringList otherNamesOf(const QString& file, const QString& canonical) const;

    DirectoryWatcher* const q;
    Backend mBackend = Backend::Qt;
    bool mActive = false; // a tree is being watched (false before setPath and once stopped)
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

    // The folder back end: one instance; a watch per folder tells of its entries and their writes.
    LarkPlatform::FolderNotifier mNotifier;
    QSocketNotifier* mReadable = nullptr;
    QHash<int, QStringList> mFolderPaths; // watch -> the folder paths it stands for (one folder, or links to it)
    QHash<QString, int> mWatchOfFolder;   // folder path -> its watch
    QSet<int> mDroppedWatches;            // removed by us: their end notice is still to come
    QString mRootKey;
    bool mInBatch = false;
    bool mRescannedInBatch = false;
    QSet<QString> mToldInBatch; // files reported during the batch being handled: its writes are in them
    // Links to files of the tree, by the canonical path of their file: a folder's watch tells of
    // writes under the file's own name only.
    QMultiHash<QString, QString> mLinksToFile;

    // The owner's own steps, for the event handling above.
    std::function<bool(const QString&)> addDir;
    std::function<void(const QString&)> dirChanged;
    std::function<void(const QString&)> fileChanged;
    std::function<bool()> rootIsIntact;
};

void DirectoryWatcherPrivate::release()
{
    delete mWatcher; // the other Qt watchers are its children
    mWatcher = nullptr;
    forgetWatches();
}

void DirectoryWatcherPrivate::forgetWatches()
{
    mShards.clear();
    if (mReadable) { // it may be delivering right now (setPath called from a report)
        mReadable->setEnabled(false);
        mReadable->deleteLater();
        mReadable = nullptr;
    }
    mNotifier.close();
    mFolderPaths.clear();
    mWatchOfFolder.clear();
    mDroppedWatches.clear();
    mPendingRescans.clear();
    mWatchedFiles.clear();
    mLinksToFile.clear();
    mActive = false;
}

void DirectoryWatcherPrivate::stopWatching()
{
    // Both may be delivering right now: they go once control is back in the event loop.
    for (QFileSystemWatcher* shard : qAsConst(mShards))
        shard->disconnect(q);
    if (mWatcher)
        mWatcher->deleteLater();
    mWatcher = nullptr;
    forgetWatches();
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
    if (mBackend == Backend::Folders) {
        // Their folder's watch tells of them; but a file we may not read could not be watched
        // on its own either, nor copied: it is refused the same way.
        for (const QString& path : fresh) {
            if (LarkPlatform::FolderNotifier::isReadable(QFile::encodeName(path)))
                added.append(path);
            else if (QFileInfo::exists(path))
                refused.append(path);
        }
        return added;
    }
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

// Puts folder under its watch (again: a folder made anew under a known path gets a new one).
// False when it is not watched; refused gets it when it is still there.
bool DirectoryWatcherPrivate::watchFolder(const QString& folder, QStringList& refused)
{
    const QString key = folderKey(folder);
    int error = 0;
    const int watch = mNotifier.addFolder(QFile::encodeName(key), &error);
    if (watch < 0) {
        if (QFileInfo(key).isDir()) // else removed meanwhile: simply gone
            refused.append(folder);
        return false;
    }
    const int known = mWatchOfFolder.value(key, -1);
    if (known == watch)
        return true;
    if (known >= 0)
        forgetWatch(known, key);
    mWatchOfFolder.insert(key, watch);
    QStringList& paths = mFolderPaths[watch];
    if (!paths.contains(key))
        paths.append(key);
    return true;
}

// folder no longer stands for watch; the watch goes once nothing of the tree is reached through it.
void DirectoryWatcherPrivate::forgetWatch(int watch, const QString& folder)
{
    mWatchOfFolder.remove(folder);
    auto paths = mFolderPaths.find(watch);
    if (paths == mFolderPaths.end())
        return;
    paths->removeAll(folder);
    if (paths->isEmpty()) {
        mFolderPaths.erase(paths);
        mNotifier.removeWatch(watch);
        mDroppedWatches.insert(watch);
    }
}

// The folder left the tree (removed, or renamed away): its folders are no longer watched under
// its path. Returns the files watched below it.
QStringList DirectoryWatcherPrivate::forgetFolder(const QString& folder)
{
    const QString prefix = folder + QLatin1Char('/');
    QStringList folders;
    for (auto it = mWatchOfFolder.cbegin(); it != mWatchOfFolder.cend(); ++it)
        if (it.key() == folder || it.key().startsWith(prefix))
            folders.append(it.key());
    for (const QString& key : qAsConst(folders))
        forgetWatch(mWatchOfFolder.value(key), key);
    QStringList files;
    for (const QString& file : qAsConst(mWatchedFiles))
        if (file.startsWith(prefix))
            files.append(file);
    files.sort();
    return files;
}

void DirectoryWatcherPrivate::readEvents()
{
    const QVector<LarkPlatform::FolderEvent> events = mNotifier.readEvents();
    if (events.isEmpty() || !rootIsIntact())
        return;
    mInBatch = true;
    mRescannedInBatch = false;
    mToldInBatch.clear();
    const quint64 generation = mGeneration;
    for (const LarkPlatform::FolderEvent& event : events) {
        if (!mActive || generation != mGeneration) // stopped, or another tree watched, meanwhile
            break;
        handleEvent(event);
    }
    mInBatch = false;
    mToldInBatch.clear();
}

void DirectoryWatcherPrivate::handleEvent(const LarkPlatform::FolderEvent& event)
{
    using LarkPlatform::FolderEvent;
    const unsigned flags = event.flags;
    if (flags & FolderEvent::Overflow) {
        if (!mRescannedInBatch) // one walk makes up for everything lost before it
            rescanEverything();
        mRescannedInBatch = true;
        return;
    }
    if (flags & FolderEvent::Ignored) {
        if (mDroppedWatches.remove(event.watch))
            return;
        // Gone with its folder; a folder still there (a watch lost otherwise) is watched anew.
        const QStringList folders = mFolderPaths.take(event.watch);
        for (const QString& folder : folders) {
            mWatchOfFolder.remove(folder);
            if (QFileInfo(folder).isDir())
                addDir(folder);
        }
        return;
    }
    const QStringList folders = mFolderPaths.value(event.watch);
    if (folders.isEmpty())
        return;
    if (flags & (FolderEvent::SelfDeleted | FolderEvent::SelfMoved)) {
        // A folder of the tree shows in its parent's events; the watched one only here.
        if (folders.contains(mRootKey))
            rootIsIntact();
        return;
    }
    if (event.name.isEmpty()) // the folder's own attributes
        return;
    const QString name = QFile::decodeName(event.name);
    if (QFile::encodeName(name) != event.name) {
        // No path reaches it: the folder's listing tells of it.
        if (flags & (FolderEvent::Created | FolderEvent::MovedTo))
            for (const QString& folder : folders)
                addDir(folder);
        return;
    }
    if (name.startsWith(QLatin1Char('.')))
        return;
    for (const QString& folder : folders) {
        if (!mActive)
            return;
        const QString path = (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) + name;
        if (flags & (FolderEvent::Created | FolderEvent::MovedTo)) {
            if (mWatchedFiles.contains(path)) // replaced by what came in its place
                fileChanged(path);
            else if (flags & FolderEvent::IsFolder)
                dirChanged(path); // watched, listed, and listed once more from the event loop
            else
                addDir(path);
        } else if (flags & (FolderEvent::Deleted | FolderEvent::MovedFrom)) {
            if (mWatchedFiles.contains(path)) {
                fileChanged(path);
            } else if (mWatchOfFolder.contains(path)) {
                for (const QString& file : forgetFolder(path))
                    fileChanged(file);
            }
        } else if (flags & (FolderEvent::Modified | FolderEvent::Attributes)) {
            if (flags & FolderEvent::IsFolder) {
                if (flags & FolderEvent::Attributes) // may be readable now
                    addDir(path);
            } else if (mWatchedFiles.contains(path)) {
                QStringList changed{path};
                if (!mLinksToFile.isEmpty())
                    changed += mLinksToFile.values(QFileInfo(path).canonicalFilePath());
                for (const QString& file : qAsConst(changed)) {
                    if (!mActive || mToldInBatch.contains(file) || !mWatchedFiles.contains(file))
                        continue;
                    mToldInBatch.insert(file); // one report for the writes of one batch
                    fileChanged(file);
                }
            }
        }
    }
}

// Events were lost: whatever appeared is reported by a walk of the whole tree, whatever went by
// a look at each watched file.
void DirectoryWatcherPrivate::rescanEverything()
{
    LARK_WARNING << "folder notifications lost, the whole tree is listed again :" << mPath;
    addDir(mPath);
    QStringList gone;
    for (const QString& file : qAsConst(mWatchedFiles))
        if (LarkFiles::entryInfo(file).kind != EntryKind::File)
            gone.append(file);
    QStringList folders;
    for (auto it = mWatchOfFolder.cbegin(); it != mWatchOfFolder.cend(); ++it)
        if (it.key() != mRootKey && !QFileInfo(it.key()).isDir())
            folders.append(it.key());
    for (const QString& folder : qAsConst(folders))
        gone += forgetFolder(folder);
    gone.removeDuplicates();
    gone.sort();
    for (const QString& file : qAsConst(gone))
        if (mActive && mWatchedFiles.contains(file))
            fileChanged(file);
}

// The watched paths other than file that lead to the same file (canonical): the links to it, and
// the file under its own name when file is a link.
QStringList DirectoryWatcherPrivate::otherNamesOf(const QString& file, const QString& canonical) const
{
    QStringList names = mLinksToFile.values(canonical);
    const QString rootPrefix = mRoot.canonical.endsWith(QLatin1Char('/')) ? mRoot.canonical : mRoot.canonical + QLatin1Char('/');
    if (canonical.startsWith(rootPrefix))
        names.append((mPath.endsWith(QLatin1Char('/')) ? mPath : mPath + QLatin1Char('/')) + canonical.mid(rootPrefix.size()));
    names.removeDuplicates();
    QStringList others;
    for (const QString& name : qAsConst(names))
        if (name != file && mWatchedFiles.contains(name))
            others.append(name);
    return others;
}

DirectoryWatcher::DirectoryWatcher(QObject* parent)
    : QObject(parent)
    , d(new DirectoryWatcherPrivate(this))
{
    d->addDir = [this](const QString& dir) { return addDir(dir); };
    d->dirChanged = [this](const QString& dir) { onDirMod(dir); };
    d->fileChanged = [this](const QString& file) { onFilemod(file); };
    d->rootIsIntact = [this] { return rootIsIntact(); };
}

DirectoryWatcher::~DirectoryWatcher()
{
    d->release();
}

bool DirectoryWatcher::setPath(const QString& path)
{
    d->release();
    d->mSkipped.clear();
    d->mRefused.clear();
    d->mParentFolder.clear();
    ++d->mGeneration;
    d->mBackend = chosenBackend();
    d->mActive = true;
    if (d->mBackend == Backend::Qt) {
        d->mWatcher = new QFileSystemWatcher(this);
        connect(d->mWatcher, SIGNAL(fileChanged(QString)), this, SLOT(onFilemod(QString)));
        connect(d->mWatcher, SIGNAL(directoryChanged(QString)), this, SLOT(onDirMod(QString)));
        d->mShards.append(d->mWatcher);
    } else {
        int error = 0;
        if (d->mNotifier.open(&error)) {
            d->mReadable = new ReadableNotifier(d->mNotifier.descriptor(), this, [this] { d->readEvents(); });
        } else {
            // Nothing can be watched: every path of the tree is refused below.
            LARK_WARNING << "no folder notifications available :" << QString::fromLocal8Bit(std::strerror(error));
        }
    }

    // Files found now are the starting point, not news.
    const bool wasBlocked = blockSignals(true);
    d->mPath = path;
    d->mRootKey = folderKey(path);
    d->mRoot = LarkFiles::folderIdentity(path);
    bool result;
    if (d->mRoot.canonical.isEmpty()) {
        LARK_CRITICAL << "Wrong path";
        result = false;
    } else {
        result = addDir(path);
        // Qt tells of a watched folder removed, not of one renamed: that shows in its parent.
        // Watched last, and only if there is room left: the tree comes first. The folder back
        // end hears of it from the folder's own watch.
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
    if (!d->mActive)
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
    const bool folders = d->mBackend == Backend::Folders;
    TreeWalk walk;
    walk.root = d->mRoot.canonical;
    QStringList refusedFolders;
    if (folders)
        walk.watchFolder = [this, &refusedFolders](const QString& folder) {
            return d->watchFolder(folder, refusedFolders);
        };
    const LarkFiles::EntryInfo info = LarkFiles::entryInfo(dir);
    // The folder back end hears of each new entry, links to folders included: such an entry is
    // sorted on its own, as the walk of its folder would.
    const bool oneEntry = folders && info.kind != EntryKind::Missing
        && (info.kind != EntryKind::Folder || (info.isLink && folderKey(dir) != d->mRootKey));
    if (info.kind == EntryKind::Folder && !oneEntry) {
        // A folder of the tree that has become a link out of it, or is gone, is not walked.
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        if (canonical.isEmpty() || !LarkFiles::isInside(canonical, d->mRoot.canonical))
            return true;
        if (!folders)
            d->mWatcher->addPath(dir);
        walk.walking = ancestorsWithin(QFileInfo(canonical).path(), walk.root);
        walkFolder(walk, dir, canonical);
    } else if (oneEntry) {
        const QFileInfo entry(dir);
        const QString parent = QFileInfo(entry.path()).canonicalFilePath();
        if (parent.isEmpty() || !LarkFiles::isInside(parent, d->mRoot.canonical))
            return true;
        walk.walking = ancestorsWithin(parent, walk.root);
        walkEntry(walk, dir, parent + QLatin1Char('/') + entry.fileName(), info, walk.files);
    } else {
        return true;
    }
    for (const Skipped& skipped : qAsConst(walk.skipped))
        warnSkipped(skipped.path, skipped.reason, skipped.count);

    // Folders first: a watched folder shows what appears in it, even where a file of it cannot
    // be watched. A path refused leaves the others watched, and their new files reported.
    if (!folders) {
        const QStringList watchedList = d->mWatcher->directories();
        const QStringList freshFolders = notWatched(walk.folders, QSet<QString>(watchedList.cbegin(), watchedList.cend()));
        if (!freshFolders.isEmpty())
            for (const QString& folder : d->mWatcher->addPaths(freshFolders))
                if (QFileInfo(folder).isDir()) // not removed meanwhile
                    refusedFolders.append(folder);
    }

    QStringList refused;
    const QStringList added = d->watchFiles(notWatched(walk.files, d->mWatchedFiles), refused);
    for (const QString& file : added) {
        d->mWatchedFiles.insert(file);
        if (walk.fileLinks.contains(file)) {
            const QString target = walk.fileLinks.value(file);
            d->mLinksToFile.remove(target, file);
            d->mLinksToFile.insert(target, file);
        }
        // Watched at last, or a file again: told anew if it is refused or turns special later.
        if (!d->mSkipped.isEmpty())
            d->mSkipped.remove(file);
        if (!d->mRefused.isEmpty())
            d->mRefused.remove(file);
    }
    // The files of a folder that could not be watched are not watched either.
    refused += notWatched(walk.filesUnwatched, d->mWatchedFiles);
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
    for (const QString& file : added) {
        if (d->mInBatch)
            d->mToldInBatch.insert(file); // its content is as new as the writes of this batch
        emit addedFiles(file);
    }
    return refused.isEmpty();
}

void DirectoryWatcher::onDirMod(const QString& str)
{
    if (str == d->mParentFolder) { // not part of the tree: only the watched folder's fate matters there
        rootIsIntact();
        return;
    }
    addDir(str);
    if (!d->mActive) // stopped
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
    // re-scan of its folder watches (and reports) whatever file is there now. The folder back
    // end keeps watching a file as long as a file of the tree is there.
    auto* shard = qobject_cast<QFileSystemWatcher*>(sender());
    const bool stillWatched = shard ? shard->files().contains(file) : d->mWatchedFiles.contains(file);
    if (shard && !stillWatched)
        d->mWatchedFiles.remove(file);

    const EntryKind kind = LarkFiles::entryInfo(file).kind;
    const QString canonical = kind == EntryKind::File ? QFileInfo(file).canonicalFilePath() : QString();
    if (kind == EntryKind::File && LarkFiles::isInside(canonical, d->mRoot.canonical)) {
        emit modifiedFile(file);
        // Qt's watcher tells of a file under one of its names only: its other names changed too.
        if (shard && !d->mLinksToFile.isEmpty())
            for (const QString& name : d->otherNamesOf(file, canonical))
                emit modifiedFile(name);
        return;
    }
    // No file of the tree there any more: removed, or a FIFO, a folder or a link out of the tree
    // in its place. Whatever is there now is never reported as this file.
    if (!shard)
        d->mWatchedFiles.remove(file);
    if (kind != EntryKind::Missing) {
        if (stillWatched && shard) {
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
