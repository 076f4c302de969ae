#ifndef DIRECTORYSYNCHRONIZER_H
#define DIRECTORYSYNCHRONIZER_H

#include "larkutils_export.h"

#include <QObject>
#include <QString>

class DirectoryWatcher;

/// One-way mirror of a folder: a full copy on demand, then every file added, changed or removed
/// in the source is copied or removed at the same place in the destination. Folders are never
/// removed. Only regular files of the source are mirrored: nothing is read from a FIFO, a socket
/// or a device, nor through a link that leads out of the source. Needs the event loop of its thread.
class LARKUTILS_EXPORT DirectorySynchronizer : public QObject
{
    Q_OBJECT
public:
    /// Creates the watcher; nothing is mirrored until startWatcher.
    explicit DirectorySynchronizer(QObject* parent = nullptr);
    ~DirectorySynchronizer() override;

    /// Makes destination an exact copy of source (its old content removed). False on failure,
    /// and when one folder lies inside the other.
    static bool fullSync(const QString& source, const QString& destination);
    /// Starts mirroring the changes of source into destination. False (with error()) when the
    /// source folder is missing, holds the destination, or cannot be watched.
    bool startWatcher(const QString& source, const QString& destination);

signals:
    /// A failure: the source missing, the watcher not started, a copy or a removal failed.
    void error(const QString& err);
    /// A file copied ("[MOD] path") or removed ("[DEL] path") in the destination.
    void log(const QString& log);

private slots:
    void onFileDeleted(const QString& file);
    void onFileAddedOrModified(const QString& file);

private:
    bool checkDirs();
    QString destinationPath(const QString& file) const;
    bool sourceIsIntact() const;

    QString mSource;
    QString mDestination;
    // Both folders with their links resolved, and the identity of the source at startWatcher:
    // nothing from outside the source, nor from inside the destination, is copied, and nothing
    // is done for a source that moved away.
    QString mCanonicalSource;
    QString mCanonicalDestination;
    quint64 mSourceDevice = 0;
    quint64 mSourceInode = 0;
    DirectoryWatcher* mWatcher;
};

#endif // DIRECTORYSYNCHRONIZER_H
