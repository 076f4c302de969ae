#include "DirectorySynchronizer.h"

#include "DirectoryWatcher.h"
#include "FileUtils.h"
#include "LarkLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

DirectorySynchronizer::DirectorySynchronizer(QObject* parent)
    : QObject(parent)
    , mWatcher(new DirectoryWatcher(this))
{
    connect(mWatcher, SIGNAL(deletedFile(QString)), this, SLOT(onFileDeleted(QString)));
    connect(mWatcher, SIGNAL(addedFiles(QString)), this, SLOT(onFileAddedOrModified(QString)));
    connect(mWatcher, SIGNAL(modifiedFile(QString)), this, SLOT(onFileAddedOrModified(QString)));
}

DirectorySynchronizer::~DirectorySynchronizer() = default;

bool DirectorySynchronizer::fullSync(const QString& source, const QString& destination)
{
    if (!FileUtils::copyDir(source, destination, false)) {
        LARK_CRITICAL << "FullSync fail";
        return false;
    }
    return true;
}

bool DirectorySynchronizer::startWatcher(const QString& source, const QString& destination)
{
    mSource = QDir::cleanPath(source);
    mDestination = QDir::cleanPath(destination);
    if (!checkDirs())
        return false;
    if (!mWatcher->setPath(mSource)) {
        emit error(QStringLiteral("Watcher fail"));
        LARK_CRITICAL << "Watcher fail";
        return false;
    }
    return true;
}

bool DirectorySynchronizer::checkDirs()
{
    if (!QFileInfo(mSource).isDir()) {
        const QString text = mSource + QStringLiteral(" doesn't exist");
        emit error(text);
        LARK_CRITICAL << text;
        return false;
    }
    return true;
}

QString DirectorySynchronizer::destinationPath(const QString& file) const
{
    if (!file.startsWith(mSource))
        return QString();
    return mDestination + file.mid(mSource.length());
}

void DirectorySynchronizer::onFileAddedOrModified(const QString& file)
{
    const QString destination = destinationPath(file);
    if (destination.isEmpty() || !FileUtils::fileMkPath(destination, nullptr)
        || !FileUtils::forceCopy(file, destination)) {
        emit error(QStringLiteral("unable to copy ") + file);
        return;
    }
    emit log(QStringLiteral("[MOD] %1").arg(destination));
}

void DirectorySynchronizer::onFileDeleted(const QString& file)
{
    const QString destination = destinationPath(file);
    if (destination.isEmpty() || !QFile::remove(destination)) {
        emit error(QStringLiteral("unable to remove ") + destination);
        return;
    }
    emit log(QStringLiteral("[DEL] %1").arg(destination));
}
