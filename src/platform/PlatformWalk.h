#ifndef PLATFORMWALK_H
#define PLATFORMWALK_H

// Walks a folder tree, depth first, seeing its regular files and folders, also behind links (a
// link to a folder is walked); dangling links, FIFOs, sockets and devices (also behind a link) and
// names without a text form are left out. On Unix the entries and their types come from readdir, folders are opened
// relative to their parent and only links and entries of unknown type are looked at with a stat
// (files also when their size is asked for). A folder met again below itself through a link is
// not walked a second time.

#include <QString>
#include <QtGlobal>

namespace LarkPlatform {

struct WalkOptions
{
    bool includeHidden = false;  // names starting with "."
    bool sorted = true;          // name order ignoring case, the exact name breaking ties
    bool fileStatus = false;     // size and modification time of files
};

class WalkEntry
{
public:
    bool isFolder = false;
    bool isLink = false;
    qint64 size = 0;          // files, with fileStatus
    qint64 modifiedMs = 0;    // files, with fileStatus: milliseconds since the epoch

    // The name as text.
    QString name() const { return mAscii ? QString::fromLatin1(mRaw, mRawSize) : mName; }
    // Appends the name to text without a string of its own.
    void appendNameTo(QString& text) const
    {
        if (mAscii)
            text.append(QLatin1String(mRaw, mRawSize));
        else
            text.append(mName);
    }
    // The name equals text, ignoring case as QString does.
    bool nameEqualsIgnoringCase(const QString& text) const;
    // The size of the name in bytes (in characters where names are no bytes), to reserve space.
    int rawSize() const { return mRawSize; }

private:
    friend class TreeWalkPrivate;
    const char* mRaw = nullptr;
    int mRawSize = 0;
    bool mAscii = true;
    QString mName;  // when not ASCII
};

class WalkVisitor
{
public:
    virtual ~WalkVisitor() = default;
    // Called for each entry of a folder, in order. For a folder, true walks into it at once;
    // leave() follows once it is done (also when it could not be opened or is a loop).
    virtual bool visit(const WalkEntry& entry) = 0;
    virtual void leave() {}
};

// Walks the folder at path (a link to one followed). False when no folder is there; a folder
// that cannot be read gives true with nothing visited.
bool walkTree(const QString& path, const WalkOptions& options, WalkVisitor& visitor);

} // namespace LarkPlatform

#endif // PLATFORMWALK_H
