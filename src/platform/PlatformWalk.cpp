#include "PlatformWalk.h"

#include <QFile>
#include <QVector>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QDir>
#include <QFileInfo>
#endif

namespace LarkPlatform {

bool WalkEntry::nameEqualsIgnoringCase(const QString& text) const
{
    if (!mAscii)
        return mName.compare(text, Qt::CaseInsensitive) == 0;
    // Case folding keeps the length of a name: most names differ from text in their size alone.
    return mRawSize == text.size() && QLatin1String(mRaw, mRawSize).compare(text, Qt::CaseInsensitive) == 0;
}

#ifdef Q_OS_UNIX

namespace {

// Folders deeper than this are read whole and closed before their sub-folders are walked, which
// are then opened by path: a deep tree does not hold a descriptor per level.
const int OPEN_LEVELS = 64;

const int OPEN_FOLDER = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

int openFolderAt(int parent, const char* name)
{
    int fd = -1;
    do {
        fd = parent >= 0 ? ::openat(parent, name, OPEN_FOLDER) : ::open(name, OPEN_FOLDER);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool isAscii(const char* text, int size)
{
    for (int i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

// ASCII names in the order of their lower-case forms, then of the exact names; QString's order
// of the same names.
int compareAsciiIgnoringCase(const char* a, int aSize, const char* b, int bSize)
{
    const int common = qMin(aSize, bSize);
    for (int i = 0; i < common; ++i) {
        const int x = (a[i] >= 'A' && a[i] <= 'Z') ? a[i] + 32 : a[i];
        const int y = (b[i] >= 'A' && b[i] <= 'Z') ? b[i] + 32 : b[i];
        if (x != y)
            return x - y;
    }
    return aSize - bSize;
}

int compareBytes(const char* a, int aSize, const char* b, int bSize)
{
    const int r = std::memcmp(a, b, size_t(qMin(aSize, bSize)));
    return r != 0 ? r : aSize - bSize;
}

} // namespace

class TreeWalkPrivate
{
public:
    TreeWalkPrivate(const WalkOptions& options, WalkVisitor& visitor)
        : mOptions(options)
        , mVisitor(visitor)
    {
    }

    // Walks the open folder fd (taken over), whose path is native.
    void walk(int fd, const QByteArray& native)
    {
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            return;
        }
        for (const Identity& ancestor : qAsConst(mAncestors)) {
            if (ancestor.device == st.st_dev && ancestor.inode == st.st_ino) {
                ::close(fd);  // reached again through a link: a loop
                return;
            }
        }
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return;
        }
        mAncestors.append({st.st_dev, st.st_ino});

        QByteArray names;
        QVector<Item> items;
        read(dir, names, items);
        if (mAncestors.size() > OPEN_LEVELS) {
            ::closedir(dir);
            dir = nullptr;
        }
        if (mOptions.sorted)
            sort(names, items);

        WalkEntry entry;
        for (Item& item : items) {
            entry.isFolder = item.isFolder;
            entry.isLink = item.isLink;
            entry.size = item.size;
            entry.modifiedMs = item.modifiedMs;
            entry.mRaw = names.constData() + item.offset;
            entry.mRawSize = item.rawSize;
            entry.mAscii = item.ascii;
            entry.mName = item.name;
            if (!mVisitor.visit(entry) || !item.isFolder)
                continue;
            const QByteArray childNative = native + '/' + QByteArray(entry.mRaw, entry.mRawSize);
            int child = dir ? openFolderAt(::dirfd(dir), entry.mRaw) : -1;
            if (child < 0 && dir && (errno == EMFILE || errno == ENFILE)) {
                ::closedir(dir);  // out of descriptors: this level's entries are read already
                dir = nullptr;
            }
            if (child < 0 && !dir)
                child = openFolderAt(-1, childNative.constData());
            if (child >= 0)
                walk(child, childNative);
            mVisitor.leave();
        }
        if (dir)
            ::closedir(dir);
        mAncestors.removeLast();
    }

private:
    struct Identity
    {
        dev_t device;
        ino_t inode;
    };

    struct Item
    {
        int offset = 0;  // of the raw name in the folder's name buffer
        int rawSize = 0;
        bool ascii = true;
        bool isFolder = false;
        bool isLink = false;
        qint64 size = 0;
        qint64 modifiedMs = 0;
        QString name;    // when not ASCII, or for sorting
        QString folded;  // lower case, for sorting
    };

    void read(DIR* dir, QByteArray& names, QVector<Item>& items)
    {
        const int fd = ::dirfd(dir);
        while (const dirent* e = ::readdir(dir)) {
            const char* raw = e->d_name;
            if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0')))
                continue;
            if (raw[0] == '.' && !mOptions.includeHidden)
                continue;
            Item item;
#ifdef DT_UNKNOWN
            const unsigned char type = e->d_type;
#else
            const unsigned char type = 0;
#endif
            struct stat st;
            bool known = false;  // st holds what the entry leads to
#ifdef DT_UNKNOWN
            if (type == DT_REG || type == DT_DIR) {
                item.isFolder = type == DT_DIR;
            } else if (type == DT_LNK) {
                item.isLink = true;
            } else if (type != DT_UNKNOWN) {
                continue;  // FIFO, socket, device: not listed
            } else
#endif
            {
                if (::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;  // gone meanwhile
                item.isLink = S_ISLNK(st.st_mode);
                known = !item.isLink;
            }
            if (item.isLink) {
                if (::fstatat(fd, raw, &st, 0) != 0)
                    continue;  // dangling, or a loop of links
                known = true;
            }
            if (known) {
                item.isFolder = S_ISDIR(st.st_mode);
                if (!item.isFolder && !S_ISREG(st.st_mode))
                    continue;  // a FIFO, a socket or a device, also behind a link
            }
            if (!item.isFolder && mOptions.fileStatus) {
                if (!known && ::fstatat(fd, raw, &st, 0) != 0)
                    continue;  // gone meanwhile
                item.size = qint64(st.st_size);
#if defined(Q_OS_DARWIN)
                item.modifiedMs = qint64(st.st_mtimespec.tv_sec) * 1000 + st.st_mtimespec.tv_nsec / 1000000;
#else
                item.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
#endif
            }
            item.rawSize = int(std::strlen(raw));
            item.ascii = isAscii(raw, item.rawSize);
            if (!item.ascii) {
                const QByteArray rawName(raw, item.rawSize);
                item.name = QFile::decodeName(rawName);
                if (QFile::encodeName(item.name) != rawName)
                    continue;  // no text form: no path string reaches it
            }
            item.offset = names.size();
            names.append(raw, item.rawSize + 1);
            items.append(item);
        }
    }

    static void sort(const QByteArray& names, QVector<Item>& items)
    {
        const char* base = names.constData();
        bool ascii = true;
        for (const Item& item : qAsConst(items))
            ascii = ascii && item.ascii;
        if (ascii) {
            std::sort(items.begin(), items.end(), [base](const Item& a, const Item& b) {
                const char* x = base + a.offset;
                const char* y = base + b.offset;
                const int folded = compareAsciiIgnoringCase(x, a.rawSize, y, b.rawSize);
                return folded != 0 ? folded < 0 : compareBytes(x, a.rawSize, y, b.rawSize) < 0;
            });
            return;
        }
        for (Item& item : items) {
            if (item.ascii)
                item.name = QString::fromLatin1(base + item.offset, item.rawSize);
            item.folded = item.name.toLower();
        }
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            const int folded = a.folded.compare(b.folded);
            return folded != 0 ? folded < 0 : a.name < b.name;
        });
    }

    const WalkOptions mOptions;
    WalkVisitor& mVisitor;
    QVector<Identity> mAncestors;
};

bool walkTree(const QString& path, const WalkOptions& options, WalkVisitor& visitor)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (native.isEmpty() || ::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    const int fd = openFolderAt(-1, native.constData());
    if (fd < 0)
        return true;  // a folder that cannot be read lists nothing
    QByteArray base = native;
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    if (base == "/")
        base.clear();  // its sub-folders are "/name"
    TreeWalkPrivate(options, visitor).walk(fd, base);
    return true;
}

#else // Q_OS_UNIX

class TreeWalkPrivate
{
public:
    TreeWalkPrivate(const WalkOptions& options, WalkVisitor& visitor)
        : mOptions(options)
        , mVisitor(visitor)
    {
    }

    void walk(const QString& path)
    {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty() || mAncestors.contains(canonical))
            return;
        mAncestors.append(canonical);
        QDir::Filters filters = QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot;
        if (mOptions.includeHidden)
            filters |= QDir::Hidden;
        const QFileInfoList infos = QDir(path).entryInfoList(
            filters, mOptions.sorted ? QDir::SortFlags(QDir::Name | QDir::IgnoreCase) : QDir::SortFlags(QDir::NoSort));
        const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        WalkEntry entry;
        entry.mAscii = false;
        for (const QFileInfo& info : infos) {
            entry.mName = info.fileName();
            entry.mRawSize = entry.mName.size();
            entry.isFolder = info.isDir();
            entry.isLink = info.isSymLink();
            if (!entry.isFolder && mOptions.fileStatus) {
                entry.size = info.size();
                entry.modifiedMs = info.lastModified().toMSecsSinceEpoch();
            }
            if (!mVisitor.visit(entry) || !entry.isFolder)
                continue;
            walk(prefix + entry.mName);
            mVisitor.leave();
        }
        mAncestors.removeLast();
    }

private:
    const WalkOptions mOptions;
    WalkVisitor& mVisitor;
    QStringList mAncestors;
};

bool walkTree(const QString& path, const WalkOptions& options, WalkVisitor& visitor)
{
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return false;
    TreeWalkPrivate(options, visitor).walk(path);
    return true;
}

#endif // Q_OS_UNIX

} // namespace LarkPlatform
