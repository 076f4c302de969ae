#ifndef DIRECTORYWATCHER_H
#define DIRECTORYWATCHER_H

#include "larkutils_export.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

class QFileSystemWatcher;

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
    bool addDir(const QString& dir);
    QStringList watchFiles(const QStringList& fresh, QStringList& refused);
    QFileSystemWatcher* shardWithRoom();
    bool rootIsIntact();
    void stopWatching();
    void warnSkipped(const QString& path, int reason, int count);

    /// Watches the folders and the first files; more files go to further watchers (its children)
    /// because Qt checks every path it is given against the whole list of its watcher.
    QFileSystemWatcher* mWatcher;
    QVector<QFileSystemWatcher*> mShards; // the watchers of files, mWatcher first
    QString mPath;
    /// Folders whose deferred re-scan is already queued: one is enough for a burst.
    QSet<QString> mPendingRescans;
    // The files the watcher watches, kept beside its list so that a re-scan does not rebuild it.
    QSet<QString> mWatchedFiles;
    quint64 mGeneration = 0; // counts setPath calls, so that a stale deferred pass is dropped
    // The watched folder as it was at setPath: a notification from a tree moved away (or from
    // the folder made anew in its place) must not be taken for a change of the watched one.
    QString mCanonicalRoot;
    quint64 mRootDevice = 0;
    quint64 mRootInode = 0;
    QSet<QString> mSkipped; // entries left out and already warned about
    QSet<QString> mRefused; // paths whose watch was refused, already told
    QString mParentFolder; // watched too: the watched folder's own renaming shows only there
};

#endif // DIRECTORYWATCHER_H
