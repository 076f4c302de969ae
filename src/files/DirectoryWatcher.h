#ifndef DIRECTORYWATCHER_H
#define DIRECTORYWATCHER_H

#include "larkutils_export.h"

#include <QObject>
#include <QString>

#include <memory>

class DirectoryWatcherPrivate;

/// Watches a whole folder tree and reports, one file at a time, the files added, modified and
/// deleted in it (hidden files excepted). FIFOs, sockets, devices, links leading out of the tree
/// and names that are no valid text are left out with a warning; when the folder itself is
/// removed, renamed or replaced, watching stops with a critical message. Needs the event loop of
/// its thread.
class LARKUTILS_EXPORT DirectoryWatcher : public QObject
{
    Q_OBJECT
public:
    /// Watches nothing until setPath.
    explicit DirectoryWatcher(QObject* parent = nullptr);
    ~DirectoryWatcher() override;

    /// Watches the tree at path instead of what was watched before; the files present now are not
    /// reported. False when no folder is there or part of the tree could not be watched (the rest
    /// is watched all the same).
    bool setPath(const QString& path);

signals:
    /// A watched file was removed.
    void deletedFile(const QString& file);
    /// A file appeared in the tree (one emission per file).
    void addedFiles(const QString& file);
    /// A watched file changed.
    void modifiedFile(const QString& file);

private slots:
    void onDirMod(const QString& str);
    void onFilemod(const QString& file);

private:
    /// Puts the tree at dir under watch and reports its files not watched before; false when a
    /// path of it could not be watched.
    bool addDir(const QString& dir);
    /// False, once with a critical message, when the watched folder is no longer the one given to
    /// setPath (removed, renamed or replaced); watching stops then.
    bool rootIsIntact();
    /// Warns once about an entry left out (a special file, a link out of the tree, or count names
    /// of the folder path that are no valid text).
    void warnSkipped(const QString& path, int reason, int count);

    std::unique_ptr<DirectoryWatcherPrivate> d;
};

#endif // DIRECTORYWATCHER_H
