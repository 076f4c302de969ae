#include "ProjectFileLocker.h"

#include "FileUtils.h"

#include <QLockFile>
#include <QSysInfo>

ProjectFileLocker::ProjectFileLocker()
    : mLockFile(nullptr)
{
}

ProjectFileLocker::~ProjectFileLocker()
{
    delete mLockFile;
}

bool ProjectFileLocker::openNewProjectFolder(const QString& folder, const QString& projectName, QString* error)
{
    if (folder.isEmpty())
        return false;
    QString f = folder;
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    if (!FileUtils::fileMkPath(f, error))
        return false;

    QLockFile* lockFile = new QLockFile(f + QStringLiteral("lockfile"));
    if (lockFile->tryLock(0)) {
        unlock();
        mLockFile = lockFile;
        return true;
    }
    if (error) {
        const QLockFile::LockError lockError = lockFile->error();
        if (lockError == QLockFile::LockFailedError) {
            *error = tr("Project %1 already opened !").arg(projectName) + QStringLiteral("\n")
                + QStringLiteral("Folder : %1").arg(f);
        } else {
            QString description;
            if (lockError == QLockFile::PermissionError)
                description = tr("The lock file could not be created, for lack of permissions in the parent directory.");
            else if (lockError == QLockFile::UnknownError)
                description = tr("Another error happened, for instance a full partition prevented writing out the lock file");
            *error = tr("Lock failed on '%1' : error=%2  folder=%3 machinehost=%4")
                         .arg(projectName, description, f, QSysInfo::machineHostName());
        }
    }
    delete lockFile;
    return false;
}

bool ProjectFileLocker::unlock()
{
    if (mLockFile) {
        if (mLockFile->isLocked())
            mLockFile->unlock();
        delete mLockFile;
        mLockFile = nullptr;
    }
    return true;
}
