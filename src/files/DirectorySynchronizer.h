#ifndef DIRECTORYSYNCHRONIZER_H
#define DIRECTORYSYNCHRONIZER_H

#include "larkutils_export.h"

#include <QObject>
#include <QString>

#include <memory>

class DirectorySynchronizerPrivate;

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
    /// Checks the folders given to startWatcher: false, with error(), when the source is missing
    /// or holds the destination.
    bool checkDirs();

    std::unique_ptr<DirectorySynchronizerPrivate> d;
};

#endif // DIRECTORYSYNCHRONIZER_H
