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
    mPendingRescans.clear();
    mWatchedFiles.clear();
    ++mGeneration;
    mWatcher = new QFileSystemWatcher(this);
    connect(mWatcher, SIGNAL(fileChanged(QString)), this, SLOT(onFilemod(QString)));
    connect(mWatcher, SIGNAL(directoryChanged(QString)), this, SLOT(onDirMod(QString)));

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

// Hands the paths not watched yet to the watcher (Qt checks each path it is given against its
// whole list, so a re-scan must not give it the whole tree again). Returns the paths added;
// refused is set when the watcher refused some that it does not watch either.
QStringList watchNewPaths(QFileSystemWatcher* watcher, const QStringList& paths, const QSet<QString>& watched,
                          bool& refused)
{
    refused = false;
    QStringList fresh;
    for (const QString& path : paths)
        if (!watched.contains(path))
            fresh.append(path);
    if (fresh.isEmpty())
        return fresh;
    const QStringList failed = watcher->addPaths(fresh);
    if (failed.isEmpty())
        return fresh;
    const QStringList nowList = watcher->files() + watcher->directories();
    const QSet<QString> now(nowList.cbegin(), nowList.cend());
    const QSet<QString> failedSet(failed.cbegin(), failed.cend());
    QStringList refusedPaths, added;
    for (const QString& path : failed)
        if (!now.contains(path))
            refusedPaths.append(path);
    for (const QString& path : fresh)
        if (!failedSet.contains(path))
            added.append(path);
    if (!refusedPaths.isEmpty()) {
        LARK_CRITICAL << "Impossible to add to Watcher :" << refusedPaths;
        refused = true;
    }
    return added;
}

} // namespace

bool DirectoryWatcher::addDir(const QString& dir)
{
    mWatcher->addPath(dir);

    QStringList files;
    FileUtils::old::listFilesInFileSystem(dir, files, true, nullptr, dir);
    bool refused = false;
    const QStringList added = watchNewPaths(mWatcher, files, mWatchedFiles, refused);
    for (const QString& file : added)
        mWatchedFiles.insert(file);
    if (refused)
        return false; // files found in this pass are not reported
    for (const QString& file : added)
        emit addedFiles(file);

    QStringList folders;
    FileUtils::listDirectoriesInFileSystem(dir, folders, true);
    const QStringList watchedFolders = mWatcher->directories();
    watchNewPaths(mWatcher, folders, QSet<QString>(watchedFolders.cbegin(), watchedFolders.cend()), refused);
    return !refused;
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
    if (!mWatcher->files().contains(file))
        mWatchedFiles.remove(file);
    if (!QFileInfo::exists(file))
        emit deletedFile(file);
    else
        emit modifiedFile(file);
}
