#ifndef FILETESTSUPPORT_H
#define FILETESTSUPPORT_H

// Real failure conditions for the file tests (they run as root, so permission bits do not help).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <csignal>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace FileTest {

inline bool write(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool symlink(const QString& target, const QString& link)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

// --- Special files, made inside the test's temporary folder only.

inline bool fifo(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// A character device with the numbers of the null device (reads end at once, so a regression
// that opens it shows as a copied empty file, never as a flood). Needs CAP_MKNOD: check the result.
inline bool device(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
}

// A Unix socket listening at path while it lives (paths are limited to about 100 bytes).
class ListeningSocket
{
public:
    explicit ListeningSocket(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray native = QFile::encodeName(path);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (native.size() >= int(sizeof address.sun_path))
            return;
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
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

// --- Names given as raw bytes (for names that are not valid UTF-8).

inline QByteArray native(const QString& folder, const QByteArray& rawName)
{
    return QFile::encodeName(folder) + '/' + rawName;
}

inline bool writeRaw(const QByteArray& nativePath, const QByteArray& data)
{
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == ssize_t(data.size());
    return ::close(fd) == 0 && ok;
}

// Removes a tree whatever its entries and names (links removed, never followed).
inline bool removeAll(const QString& path)
{
    auto remove = [](const char* entry, const struct stat*, int, FTW*) { return ::remove(entry); };
    return ::nftw(QFile::encodeName(path).constData(), remove, 16, FTW_DEPTH | FTW_PHYS) == 0;
}


// chattr +i while it lives: even root can then neither write, rename nor remove the entry (and, for
// a folder, nothing can be created or removed inside it).
class Immutable
{
public:
    explicit Immutable(const QString& path)
        : mPath(path)
    {
        mOk = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), mPath}) == 0;
    }
    ~Immutable() { release(); }
    void release()
    {
        if (mOk)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), mPath});
        mOk = false;
    }
    bool ok() const { return mOk; }

private:
    QString mPath;
    bool mOk = false;
};

// A small tmpfs mounted at folder and filled up: a really full disk. The mount lives in a private
// mount namespace of this process, so it disappears with the process whatever happens.
class FullDisk
{
public:
    explicit FullDisk(const QString& folder, const QByteArray& before = QByteArray(),
                      const QString& beforeName = QString())
        : mFolder(folder)
    {
        static bool privateNamespace = ::unshare(CLONE_NEWNS) == 0
            && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        if (!privateNamespace || !QDir().mkpath(folder))
            return;
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
            return;
        mMounted = true;
        if (!beforeName.isEmpty() && !write(folder + "/" + beforeName, before))
            return;
        // Fill every block, then every byte that is left.
        QFile filler(folder + "/filler");
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write("f", 1) == 1) {
        }
        mOk = true;
    }
    ~FullDisk()
    {
        if (mMounted)
            ::umount2(QFile::encodeName(mFolder).constData(), MNT_DETACH);
    }
    bool ok() const { return mOk; }

private:
    QString mFolder;
    bool mMounted = false;
    bool mOk = false;
};

// A small limit on the size of any file this process writes (RLIMIT_FSIZE, soft limit only, with
// SIGXFSZ ignored so that the write fails with EFBIG instead of killing the process).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (::getrlimit(RLIMIT_FSIZE, &mOld) != 0)
            return;
        rlimit limit = mOld;
        limit.rlim_cur = bytes;
        mOk = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        if (mOk)
            ::setrlimit(RLIMIT_FSIZE, &mOld);
        std::signal(SIGXFSZ, mOldHandler);
    }
    bool ok() const { return mOk; }

private:
    rlimit mOld {};
    void (*mOldHandler)(int) = nullptr;
    bool mOk = false;
};

} // namespace FileTest

#endif // FILETESTSUPPORT_H
