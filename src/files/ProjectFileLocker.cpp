#include "ProjectFileLocker.h"

#include "FileKindPrivate.h"
#include "FileUtils.h"

#include <QFile>
#include <QLockFile>
#include <QSysInfo>

class ProjectFileLockerPrivate
{
public:
    std::unique_ptr<QLockFile> mLockFile;  // the lock held, if any
};

ProjectFileLocker::ProjectFileLocker()
    : d(new ProjectFileLockerPrivate)
{
}

ProjectFileLocker::~ProjectFileLocker() = default;

bool ProjectFileLocker::openNewProjectFolder(const QString& folder, const QString& projectName, QString* error)
{
    if (folder.isEmpty())
        return false;
    QString f = folder;
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    if (!FileUtils::fileMkPath(f, error))
        return false;

    const QString lockPath = f + QStringLiteral("lockfile");
    auto refused = [&](const QString& description) {
        if (error) {
            *error = tr("Lock failed on '%1' : error=%2  folder=%3 machinehost=%4")
                         .arg(projectName, description, f, QSysInfo::machineHostName());
        }
        return false;
    };
    // Only a regular file can hold the lock. Anything else would be read as a lock held by
    // somebody else for good, and reading a FIFO would block.
    const LarkFiles::EntryInfo existing = LarkFiles::entryInfo(lockPath);
    if (existing.isLink && existing.kind == LarkFiles::EntryKind::Missing)
        return refused(tr("The lock file %1 is a symbolic link to nothing.").arg(lockPath));
    switch (existing.kind) {
    case LarkFiles::EntryKind::Missing:
    case LarkFiles::EntryKind::File:  // also through a link: read, and replaced once stale, as usual
        break;
    case LarkFiles::EntryKind::Folder:
        return refused(tr("The lock file %1 is a folder, not a regular file.").arg(lockPath));
    case LarkFiles::EntryKind::Fifo:
        return refused(tr("The lock file %1 is a FIFO, not a regular file.").arg(lockPath));
    case LarkFiles::EntryKind::Socket:
        return refused(tr("The lock file %1 is a socket, not a regular file.").arg(lockPath));
    case LarkFiles::EntryKind::Device:
    case LarkFiles::EntryKind::Other:
        return refused(tr("The lock file %1 is a device or another special file, not a regular file.").arg(lockPath));
    }

    std::unique_ptr<QLockFile> lockFile(new QLockFile(lockPath));
    if (lockFile->tryLock(0)) {
        unlock();
        d->mLockFile = std::move(lockFile);
        return true;
    }
    const QLockFile::LockError lockError = lockFile->error();
    lockFile.reset();
    if (lockError == QLockFile::LockFailedError) {
        // A lock file that cannot be read can never be found stale: it would refuse the project
        // for good. It is reported as what it is, not as a lock held by someone else.
        QFile probe;
        QByteArray content;
        QString reason;
        if ((!LarkFiles::openRegularFile(probe, lockPath, &reason) || !LarkFiles::readAll(probe, content, &reason))
            && LarkFiles::entryInfo(lockPath).kind != LarkFiles::EntryKind::Missing)
            return refused(tr("The lock file %1 cannot be read (%2).").arg(lockPath, reason));
    }
    if (lockError == QLockFile::LockFailedError) {
        if (error) {
            *error = tr("Project %1 already opened !").arg(projectName) + QStringLiteral("\n")
                + QStringLiteral("Folder : %1").arg(f);
        }
        return false;
    }
    QString description;
    if (lockError == QLockFile::PermissionError)
        description = tr("The lock file could not be created, for lack of permissions in the parent directory.");
    else if (lockError == QLockFile::UnknownError)
        description = tr("Another error happened, for instance a full partition prevented writing out the lock file");
    return refused(description);
}

bool ProjectFileLocker::unlock()
{
    if (d->mLockFile) {
        if (d->mLockFile->isLocked())
            d->mLockFile->unlock();
        d->mLockFile.reset();
    }
    return true;
}
