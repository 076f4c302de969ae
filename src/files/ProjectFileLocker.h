#ifndef PROJECTFILELOCKER_H
#define PROJECTFILELOCKER_H

#include "larkutils_export.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

class ProjectFileLockerPrivate;

/// Keeps a project folder from being opened by two processes at once, through a "lockfile"
/// in the folder. Opening another folder moves the lock; destruction releases it.
class LARKUTILS_EXPORT ProjectFileLocker
{
    Q_DECLARE_TR_FUNCTIONS(ProjectFileLocker)
    Q_DISABLE_COPY(ProjectFileLocker)
public:
    /// Holds no lock.
    ProjectFileLocker();
    /// Releases the held lock and removes its file.
    ~ProjectFileLocker();

    /// Locks folder (created if missing) and then releases the lock held before. False, with a
    /// text for the user in error, when the folder cannot be created or locked; the old lock stays.
    bool openNewProjectFolder(const QString& folder, const QString& projectName, QString* error);
    /// Releases the held lock, if any. Always true.
    bool unlock();

private:
    std::unique_ptr<ProjectFileLockerPrivate> d;
};

#endif // PROJECTFILELOCKER_H
