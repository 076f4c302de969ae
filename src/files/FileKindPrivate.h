#ifndef FILEKINDPRIVATE_H
#define FILEKINDPRIVATE_H

// What kind of entry a path is, whether a link stays inside a folder, listings that see every
// entry, and opening for reading that never blocks on a FIFO or a device. Shared by the file
// functions, the watcher and the mirror; not installed.

#include <QByteArray>
#include <QString>
#include <QVector>

class QFile;

namespace LarkFiles {

enum class EntryKind {
    Missing,  // nothing there (for a link: a dangling one)
    File,     // a regular file
    Folder,
    Fifo,
    Socket,
    Device,   // character or block device
    Other
};

struct EntryInfo
{
    EntryKind kind = EntryKind::Missing;        // what the path leads to (links followed)
    bool isLink = false;                        // the path itself is a symbolic link
    bool isHidden = false;                      // the name starts with "."
};

// The entry at path; a link is described by what it leads to (Missing when dangling).
EntryInfo entryInfo(const QString& path);

// FIFOs, sockets, devices and anything else that is neither a regular file nor a folder: such
// entries are never opened for reading (a FIFO would block, a device may never end).
inline bool isSpecial(EntryKind kind)
{
    return kind != EntryKind::Missing && kind != EntryKind::File && kind != EntryKind::Folder;
}

// "a FIFO", "a socket", "a device", "a folder", ... for log texts.
const char* kindName(EntryKind kind);

// Opens path read-only, unbuffered, when it is (or a link leads to) a regular file. Anything else
// is refused without being opened; reason then says why. Qt resource paths (":/...") open as usual.
bool openRegularFile(QFile& file, const QString& path, QString* reason = nullptr);

// Reads up to size bytes; -1 on a read error (QFile::read may hide an error after a short read).
qint64 readSome(QFile& file, char* data, qint64 size);

// The whole content of a file opened by openRegularFile; false (content empty, reason set) on a
// read error.
bool readAll(QFile& file, QByteArray& content, QString* reason = nullptr);

// The text of the last system error (errno), for log texts.
QString lastErrorText();

// The absolute path with every existing part resolved (links, ".."), also for a path that does
// not exist yet.
QString resolvedPath(const QString& path);

// path is folder or lies below it; both resolved already.
bool isInside(const QString& path, const QString& folder);

// Where the link at path finally leads, resolved; empty for a dangling link or a loop.
QString linkTarget(const QString& path);

// A folder as it is now: its canonical path (empty when no folder is there) and, where the system
// tells it, its device and inode, which a folder made anew in its place does not share.
struct FolderIdentity
{
    QString canonical;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FolderIdentity& other) const
    {
        return canonical == other.canonical && device == other.device && inode == other.inode;
    }
};

FolderIdentity folderIdentity(const QString& path);

struct FolderEntry
{
    QString name;
    EntryInfo info;
};

// An entry whose raw name has no text form under the locale (bytes that are not valid UTF-8).
struct RawEntry
{
    QByteArray rawName;
    EntryInfo info;
};

struct FolderListing
{
    bool ok = false;                     // the folder could be read
    QVector<FolderEntry> entries;        // every kind of entry, name order ignoring case
    QVector<RawEntry> unrepresentable;   // left out of entries: no path string can reach them
};

// How a listing learns the kind of each entry.
enum class ListingKinds {
    Stat,       // every entry is looked at: one removed while listing is left out
    EntryType   // the type the folder itself records, where it has one; only links and entries
                // of unknown type are looked at (much faster on large trees)
};

// Every entry of folder except "." and "..", special files and dangling links included; hidden
// ones only when includeHidden.
FolderListing listFolder(const QString& folder, bool includeHidden, ListingKinds kinds = ListingKinds::Stat);

// Removes the entry at path whatever it is: a folder with everything in it, a link itself (never
// what it points to). False when something could not be removed.
bool removeEntry(const QString& path);

// The same for an entry of folder known only by its raw name.
bool removeRawEntry(const QString& folder, const QByteArray& rawName);

} // namespace LarkFiles

#endif // FILEKINDPRIVATE_H
