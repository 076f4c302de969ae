#include "FileKindPrivate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace LarkFiles {

namespace {

bool isResourcePath(const QString& path)
{
    return path.startsWith(QLatin1Char(':')) || path.startsWith(QLatin1String("qrc:"), Qt::CaseInsensitive);
}

bool hiddenName(const QString& name)
{
    return name.startsWith(QLatin1Char('.'));
}

void setReason(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
}

// Name order ignoring case, as QDir sorts; the exact name breaks ties so the order is stable.
void sortByName(QVector<FolderEntry>& entries)
{
    QVector<QPair<QString, int>> keys;  // lower-case name, index: folded once, not per comparison
    keys.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i)
        keys.append({entries.at(i).name.toLower(), i});
    std::sort(keys.begin(), keys.end(), [&entries](const QPair<QString, int>& a, const QPair<QString, int>& b) {
        const int folded = a.first.compare(b.first);
        return folded != 0 ? folded < 0 : entries.at(a.second).name < entries.at(b.second).name;
    });
    QVector<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : qAsConst(keys))
        sorted.append(entries.at(key.second));
    entries.swap(sorted);
}

#ifdef Q_OS_UNIX

EntryKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISFIFO(mode))
        return EntryKind::Fifo;
    if (S_ISSOCK(mode))
        return EntryKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return EntryKind::Device;
    return EntryKind::Other;
}

// The kind readdir recorded for entry; false for a link or an unknown type, which need a stat.
bool kindOfEntryType(const dirent* entry, EntryKind& kind)
{
#if defined(DT_UNKNOWN) && defined(DTTOIF)
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
        return false;
    kind = kindOfMode(DTTOIF(entry->d_type));
    return true;
#else
    Q_UNUSED(entry);
    Q_UNUSED(kind);
    return false;
#endif
}

QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Removes what is at native, a folder with its whole content; links are removed, not followed.
bool removeNative(const QByteArray& native)
{
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(native.constData()) == 0 || errno == ENOENT;

    bool ok = true;
    if (DIR* dir = ::opendir(native.constData())) {
        QVector<QByteArray> names;
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.append(QByteArray(entry->d_name));
        }
        ::closedir(dir);
        const QByteArray prefix = native.endsWith('/') ? native : native + '/';
        for (const QByteArray& name : qAsConst(names))
            ok = removeNative(prefix + name) && ok;
    } else {
        ok = false;
    }
    return ::rmdir(native.constData()) == 0 && ok;
}

#endif

} // namespace

EntryInfo entryInfo(const QString& path)
{
    EntryInfo info;
    const int slash = path.lastIndexOf(QLatin1Char('/'), path.endsWith(QLatin1Char('/')) ? -2 : -1);
    info.isHidden = hiddenName(path.mid(slash + 1));
#ifdef Q_OS_UNIX
    if (!isResourcePath(path)) {
        const QByteArray native = QFile::encodeName(path);
        struct stat st;
        if (::lstat(native.constData(), &st) != 0)
            return info;
        info.isLink = S_ISLNK(st.st_mode);
        if (info.isLink && ::stat(native.constData(), &st) != 0)
            return info;
        info.kind = kindOfMode(st.st_mode);
        return info;
    }
#endif
    const QFileInfo fileInfo(path);
    info.isLink = fileInfo.isSymLink();
    if (!fileInfo.exists())
        info.kind = EntryKind::Missing;
    else if (fileInfo.isDir())
        info.kind = EntryKind::Folder;
    else if (fileInfo.isFile())
        info.kind = EntryKind::File;
    else
        info.kind = EntryKind::Other;
    return info;
}

const char* kindName(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Missing:
        return "missing";
    case EntryKind::File:
        return "a file";
    case EntryKind::Folder:
        return "a folder";
    case EntryKind::Fifo:
        return "a FIFO";
    case EntryKind::Socket:
        return "a socket";
    case EntryKind::Device:
        return "a device";
    case EntryKind::Other:
        break;
    }
    return "not a regular file";
}

bool openRegularFile(QFile& file, const QString& path, QString* reason)
{
    if (path.isEmpty()) {
        setReason(reason, QStringLiteral("empty path"));
        return false;
    }
#ifdef Q_OS_UNIX
    if (!isResourcePath(path)) {
        const QByteArray native = QFile::encodeName(path);
        struct stat st;
        if (::stat(native.constData(), &st) != 0) {
            setReason(reason, errnoText(errno));
            return false;
        }
        if (!S_ISREG(st.st_mode)) {  // checked before opening: opening a FIFO blocks
            setReason(reason, QString::fromLatin1(kindName(kindOfMode(st.st_mode))));
            return false;
        }
        int fd = -1;
        do {
            fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            setReason(reason, errnoText(errno));
            return false;
        }
        // Replaced between the check and the open: never read from anything but a regular file.
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            setReason(reason, QString::fromLatin1(kindName(kindOfMode(st.st_mode))));
            ::close(fd);
            return false;
        }
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        file.setFileName(path);
        if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            setReason(reason, file.errorString());
            return false;
        }
        return true;
    }
#endif
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        setReason(reason, QString::fromLatin1(kindName(info.isDir() ? EntryKind::Folder : EntryKind::Other)));
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        setReason(reason, file.errorString());
        return false;
    }
    return true;
}

qint64 readSome(QFile& file, char* data, qint64 size)
{
#ifdef Q_OS_UNIX
    const int fd = file.handle();
    if (fd >= 0) {
        ssize_t n = -1;
        do {
            n = ::read(fd, data, size_t(qMin<qint64>(size, SSIZE_MAX)));
        } while (n < 0 && errno == EINTR);
        return qint64(n);
    }
#endif
    return file.read(data, size);
}

QString lastErrorText()
{
#ifdef Q_OS_UNIX
    return errnoText(errno);
#else
    return QString();
#endif
}

bool readAll(QFile& file, QByteArray& content, QString* reason)
{
    content.clear();
    const qint64 expected = file.size();
    if (expected >= qint64(INT_MAX)) {
        setReason(reason, QStringLiteral("too large"));
        return false;
    }
    content.resize(int(expected));
    qint64 got = 0;
    while (got < expected) {
        const qint64 n = readSome(file, content.data() + got, expected - got);
        if (n < 0) {
            setReason(reason, lastErrorText());
            content.clear();
            return false;
        }
        if (n == 0)
            break;  // the file got shorter
        got += n;
    }
    content.resize(int(got));
    // The file may also have grown (or report no size at all).
    char buffer[16384];
    while (true) {
        const qint64 n = readSome(file, buffer, qint64(sizeof buffer));
        if (n < 0 || qint64(content.size()) + n >= qint64(INT_MAX)) {
            setReason(reason, n < 0 ? lastErrorText() : QStringLiteral("too large"));
            content.clear();
            return false;
        }
        if (n == 0)
            return true;
        content.append(buffer, int(n));
    }
}

QString resolvedPath(const QString& path)
{
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (true) {
        const QString canonical = QFileInfo(existing).canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical == QLatin1String("/") ? (rest.isEmpty() ? canonical : rest) : canonical + rest;
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return existing + rest;
        rest = existing.mid(slash) + rest;
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
    }
}

bool isInside(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/"))
        return true;
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

QString linkTarget(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

FolderIdentity folderIdentity(const QString& path)
{
    FolderIdentity identity;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return identity;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(canonical).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return identity;
    identity.device = quint64(st.st_dev);
    identity.inode = quint64(st.st_ino);
#else
    if (!QFileInfo(canonical).isDir())
        return identity;
#endif
    identity.canonical = canonical;
    return identity;
}

FolderListing listFolder(const QString& folder, bool includeHidden, ListingKinds kinds)
{
    FolderListing listing;
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(folder);
    DIR* dir = ::opendir(native.isEmpty() ? "." : native.constData());
    if (!dir)
        return listing;
    listing.ok = true;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* raw = entry->d_name;
        if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
            continue;
        if (!includeHidden && raw[0] == '.')
            continue;
        EntryInfo info;
        info.isHidden = raw[0] == '.';
        if (kinds != ListingKinds::EntryType || !kindOfEntryType(entry, info.kind)) {
            struct stat st;
            if (::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone meanwhile
            info.isLink = S_ISLNK(st.st_mode);
            if (!info.isLink)
                info.kind = kindOfMode(st.st_mode);
            else if (::fstatat(fd, raw, &st, 0) == 0)
                info.kind = kindOfMode(st.st_mode);
        }
        const QByteArray rawName(raw);
        const QString name = QFile::decodeName(rawName);
        if (QFile::encodeName(name) != rawName)
            listing.unrepresentable.append({rawName, info});
        else
            listing.entries.append({name, info});
    }
    ::closedir(dir);
#else
    Q_UNUSED(kinds);
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!dir.exists())
        return listing;
    listing.ok = true;
    QDir::Filters filters = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    if (includeHidden)
        filters |= QDir::Hidden;
    const QFileInfoList infos = dir.entryInfoList(filters, QDir::NoSort);
    for (const QFileInfo& info : infos) {
        FolderEntry item;
        item.name = info.fileName();
        item.info = entryInfo(info.absoluteFilePath());
        listing.entries.append(item);
    }
#endif
    sortByName(listing.entries);
    return listing;
}

bool removeEntry(const QString& path)
{
#ifdef Q_OS_UNIX
    return removeNative(QFile::encodeName(path));
#else
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path) || (!info.exists() && !info.isSymLink());
#endif
}

bool removeRawEntry(const QString& folder, const QByteArray& rawName)
{
#ifdef Q_OS_UNIX
    QByteArray native = QFile::encodeName(folder);
    if (!native.endsWith('/'))
        native += '/';
    return removeNative(native + rawName);
#else
    const QString name = QFile::decodeName(rawName);
    return removeEntry(folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name);
#endif
}

} // namespace LarkFiles
