#ifndef PLATFORMWATCHER_H
#define PLATFORMWATCHER_H

// The system's own folder notifications, where there are some (Linux: one inotify instance with a
// watch per folder; a folder's watch also tells of writes to the files in it). Elsewhere
// isAvailable() is false and the watcher uses QFileSystemWatcher.

#include <QByteArray>
#include <QVector>

namespace LarkPlatform {

struct FolderEvent
{
    enum Flag : unsigned {
        Created = 1u << 0,     // an entry appeared in the folder (made, or a link or node made)
        Deleted = 1u << 1,     // an entry was removed from it
        MovedFrom = 1u << 2,   // an entry was renamed away from it
        MovedTo = 1u << 3,     // an entry was renamed into it
        Modified = 1u << 4,    // a file of it was written
        Attributes = 1u << 5,  // an entry's (or the folder's) permissions, times, owner changed
        SelfDeleted = 1u << 6, // the watched folder itself was removed
        SelfMoved = 1u << 7,   // the watched folder itself was renamed
        Ignored = 1u << 8,     // the watch is gone (removed, or its folder is)
        Overflow = 1u << 9,    // events were lost: everything may have changed
        IsFolder = 1u << 10    // the entry named is a folder
    };
    int watch = -1;            // the folder's watch; -1 with Overflow
    unsigned flags = 0;
    QByteArray name;           // the entry's raw name; empty for the folder itself
};

class FolderNotifier
{
public:
    // True where this platform has the notifications above.
    static bool isAvailable();

    FolderNotifier() = default;
    ~FolderNotifier();
    FolderNotifier(const FolderNotifier&) = delete;
    FolderNotifier& operator=(const FolderNotifier&) = delete;

    // Opens the instance (non-blocking, closed on exec); false with errorCode set (EMFILE: no
    // instance left for this user).
    bool open(int* errorCode);
    void close();
    bool isOpen() const { return mFd >= 0; }
    // The descriptor that becomes readable when events wait; -1 when not open.
    int descriptor() const { return mFd; }

    // Watches the folder at path (links followed); the same folder reached twice gives the same
    // watch. -1 with errorCode set on failure (ENOSPC: no watch left, ENOENT/ENOTDIR: no folder).
    int addFolder(const QByteArray& path, int* errorCode);
    void removeWatch(int watch);

    // The events waiting now (up to a bound; the descriptor stays readable for more), in order.
    QVector<FolderEvent> readEvents();

    // True when the file at path may be read by us: a watch on it (or a copy of it) would be refused
    // otherwise.
    static bool isReadable(const QByteArray& path);

private:
    int mFd = -1;
};

} // namespace LarkPlatform

#endif // PLATFORMWATCHER_H
