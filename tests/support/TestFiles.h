#ifndef TESTFILES_H
#define TESTFILES_H

// Whole-file reads and writes for the tests' fixtures, and special entries (links, FIFOs, devices,
// sockets, raw byte names) made inside the test's own temporary folder only.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

// What readFile() gives, when asked, for a file that cannot be read: never equal to real content.
inline const QByteArray UNREADABLE = QByteArrayLiteral("<unreadable>");

// The file's bytes; `unreadable` (empty unless given) when it cannot be read.
inline QByteArray readFile(const QString& path, const QByteArray& unreadable = QByteArray())
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : unreadable;
}

// Replaces the file's content (creating its folders when asked); false when not all was written.
inline bool writeFile(const QString& path, const QByteArray& bytes, bool makeFolders = false)
{
    if (makeFolders)
        QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every entry below folder (hidden and special ones included, links not followed), relative and
// sorted: "name ->" for a link, "name/" for a folder, "name=content" for a file, "name (special)"
// for anything else (never opened).
inline QStringList listTree(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        const QFileInfo info = it.fileInfo();
        QString name = entry.mid(folder.size() + 1);
        if (info.isSymLink())
            name += " ->";
        else if (info.isDir())
            name += "/";
        else if (info.isFile())
            name += "=" + QString::fromUtf8(readFile(entry, UNREADABLE));
        else
            name += " (special)";
        entries.append(name);
    }
    entries.sort();
    return entries;
}

#ifdef Q_OS_UNIX
namespace FileTest {

inline QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// A name given as raw bytes (for names that are not valid UTF-8) inside folder.
inline QByteArray native(const QString& folder, const QByteArray& rawName)
{
    return QFile::encodeName(folder) + '/' + rawName;
}

// A symbolic link (its folder made first); the target need not exist.
inline bool symlink(const QString& target, const QString& link)
{
    QDir().mkpath(QFileInfo(link).absolutePath());
    return ::symlink(native(target).constData(), native(link).constData()) == 0;
}

inline bool fifo(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ::mkfifo(native(path).constData(), 0600) == 0;
}

// A character device with the numbers of the null device (reads end at once, so a regression
// that opens it shows as a copied empty file, never as a flood). Needs CAP_MKNOD: check the result.
inline bool device(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ::mknod(native(path).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
}

// A Unix socket listening at path while it lives (paths are limited to about 100 bytes).
class ListeningSocket
{
public:
    explicit ListeningSocket(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray name = native(path);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (name.size() >= int(sizeof address.sun_path))
            return;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        mFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        mOk = mFd >= 0 && ::bind(mFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
            && ::listen(mFd, 1) == 0;
    }
    ~ListeningSocket()
    {
        if (mFd >= 0)
            ::close(mFd);
    }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;
    bool ok() const { return mOk; }

private:
    int mFd = -1;
    bool mOk = false;
};

// Writes a file at a native (raw byte) path.
inline bool writeRaw(const QByteArray& nativePath, const QByteArray& data)
{
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == ssize_t(data.size());
    return ::close(fd) == 0 && ok;
}

// Files whose names hold raw bytes, removed again when it goes: Qt cannot list them, so its
// temporary folder could not remove them.
class RawNames
{
public:
    RawNames() = default;
    ~RawNames()
    {
        for (const QByteArray& path : qAsConst(mPaths))
            ::unlink(path.constData());
    }
    RawNames(const RawNames&) = delete;
    RawNames& operator=(const RawNames&) = delete;

    bool write(const QString& folder, const QByteArray& name, const QByteArray& content)
    {
        QDir().mkpath(folder);
        const QByteArray path = native(folder, name);
        const bool ok = writeRaw(path, content);
        if (::access(path.constData(), F_OK) == 0)
            mPaths.append(path);
        return ok;
    }

private:
    QList<QByteArray> mPaths;
};

// Removes a tree whatever its entries and names (links removed, never followed).
inline bool removeAll(const QString& path)
{
    auto remove = [](const char* entry, const struct stat*, int, FTW*) { return ::remove(entry); };
    return ::nftw(native(path).constData(), remove, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

} // namespace FileTest
#endif // Q_OS_UNIX

#endif // TESTFILES_H
