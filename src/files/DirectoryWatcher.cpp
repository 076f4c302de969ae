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

bool DirectoryWatcher::addDir(const QString& dir)
{
    mWatcher->addPath(dir);
    const QStringList before = mWatcher->files();
    const QSet<QString> watchedBefore(before.cbegin(), before.cend());

    QStringList files;
    FileUtils::old::listFilesInFileSystem(dir, files, true, nullptr, dir);
    if (!files.isEmpty()) {
        const QStringList failed = mWatcher->addPaths(files);
        if (!failed.isEmpty()) {
            const QStringList now = mWatcher->files();
            const QSet<QString> watched(now.cbegin(), now.cend());
            QStringList refused;
            for (const QString& path : failed)
                if (!watched.contains(path))
                    refused.append(path);
            if (!refused.isEmpty()) {
                LARK_CRITICAL << "Impossible to add to Watcher :" << refused;
                return false;
            }
        }
    }

    const QStringList after = mWatcher->files();
    for (const QString& file : after)
        if (!watchedBefore.contains(file))
            emit addedFiles(file);

    QStringList folders;
    FileUtils::listDirectoriesInFileSystem(dir, folders, true);
    if (!folders.isEmpty()) {
        const QStringList failed = mWatcher->addPaths(folders);
        if (!failed.isEmpty()) {
            const QStringList now = mWatcher->directories();
            const QSet<QString> watched(now.cbegin(), now.cend());
            QStringList refused;
            for (const QString& path : failed)
                if (!watched.contains(path))
                    refused.append(path);
            if (!refused.isEmpty()) {
                LARK_CRITICAL << "Impossible to add to Watcher :" << refused;
                return false;
            }
        }
    }
    return true;
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
