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

// Adds the paths not watched yet; logs and gives false when the watcher refuses some of them.
// Qt checks each path it is given against its whole list, so already watched paths are left out
// first: a re-scan of a large tree then costs its listing, not a second pass over every path.
bool watchNewPaths(QFileSystemWatcher* watcher, const QStringList& paths, const QStringList& watchedList)
{
    const QSet<QString> watched(watchedList.cbegin(), watchedList.cend());
    QStringList fresh;
    for (const QString& path : paths)
        if (!watched.contains(path))
            fresh.append(path);
    if (fresh.isEmpty())
        return true;
    const QStringList failed = watcher->addPaths(fresh);
    if (failed.isEmpty())
        return true;
    const QStringList nowList = watcher->files() + watcher->directories();
    const QSet<QString> now(nowList.cbegin(), nowList.cend());
    QStringList refused;
    for (const QString& path : failed)
        if (!now.contains(path))
            refused.append(path);
    if (refused.isEmpty())
        return true;
    LARK_CRITICAL << "Impossible to add to Watcher :" << refused;
    return false;
}

} // namespace

bool DirectoryWatcher::addDir(const QString& dir)
{
    mWatcher->addPath(dir);
    const QStringList before = mWatcher->files();

    QStringList files;
    FileUtils::old::listFilesInFileSystem(dir, files, true, nullptr, dir);
    if (!watchNewPaths(mWatcher, files, before))
        return false;

    const QSet<QString> watchedBefore(before.cbegin(), before.cend());
    const QStringList after = mWatcher->files();
    for (const QString& file : after)
        if (!watchedBefore.contains(file))
            emit addedFiles(file);

    QStringList folders;
    FileUtils::listDirectoriesInFileSystem(dir, folders, true);
    return watchNewPaths(mWatcher, folders, mWatcher->directories());
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
    if (!QFileInfo::exists(file))
        emit deletedFile(file);
    else
        emit modifiedFile(file);
}
