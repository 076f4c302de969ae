#include "DirectoryWatcher.h"

#include "FileUtils.h"
#include "LarkLog.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

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
    ++mGeneration;
    mWatcher = new QFileSystemWatcher(this);
    connect(mWatcher, SIGNAL(fileChanged(QString)), this, SLOT(onFilemod(QString)));
    connect(mWatcher, SIGNAL(directoryChanged(QString)), this, SLOT(onDirMod(QString)));
    mShards.append(mWatcher);

    // Files found now are the starting point, not news.
    const bool wasBlocked = blockSignals(true);
    mPath = path;
    bool result;
    if (!QFileInfo(path).isDir()) {
        LARK_CRITICAL << "Wrong path";
        result = false;
    } else {
        result = addDir(path);
    }
    blockSignals(wasBlocked);
    return result;
}

namespace {

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
    mWatcher->addPath(dir);

    QStringList files;
    FileUtils::old::listFilesInFileSystem(dir, files, true, nullptr, dir);
    QStringList refused;
    const QStringList added = watchFiles(notWatched(files, mWatchedFiles), refused);
    for (const QString& file : added)
        mWatchedFiles.insert(file);
    if (!refused.isEmpty()) {
        LARK_CRITICAL << "Impossible to add to Watcher :" << refused;
        return false; // files found in this pass are not reported
    }
    for (const QString& file : added)
        emit addedFiles(file);

    QStringList folders;
    FileUtils::listDirectoriesInFileSystem(dir, folders, true);
    const QStringList watchedList = mWatcher->directories();
    const QStringList freshFolders = notWatched(folders, QSet<QString>(watchedList.cbegin(), watchedList.cend()));
    if (freshFolders.isEmpty())
        return true;
    for (const QString& folder : mWatcher->addPaths(freshFolders))
        if (QFileInfo(folder).isDir()) // not removed meanwhile
            refused.append(folder);
    if (refused.isEmpty())
        return true;
    LARK_CRITICAL << "Impossible to add to Watcher :" << refused;
    return false;
}

void DirectoryWatcher::onDirMod(const QString& str)
{
    addDir(str);
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
    // Qt stops watching a path whose file was removed or replaced: so do we, and the next
    // re-scan of its folder watches (and reports) whatever file is there now.
    const auto* shard = qobject_cast<const QFileSystemWatcher*>(sender());
    if (shard && !shard->files().contains(file))
        mWatchedFiles.remove(file);
    if (!QFileInfo::exists(file))
        emit deletedFile(file);
    else
        emit modifiedFile(file);
}
