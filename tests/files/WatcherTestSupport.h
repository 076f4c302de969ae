#ifndef WATCHERTESTSUPPORT_H
#define WATCHERTESTSUPPORT_H

// Hostile entries for the watcher and mirror tests, made inside the test's own folder only.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace WatchTest {

inline QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

inline bool makeFolders(const QString& path)
{
    return QDir().mkpath(path);
}

inline bool symlink(const QString& target, const QString& link)
{
    makeFolders(QFileInfo(link).absolutePath());
    return ::symlink(native(target).constData(), native(link).constData()) == 0;
}

inline bool makeFifo(const QString& path)
{
    makeFolders(QFileInfo(path).absolutePath());
    return ::mkfifo(native(path).constData(), 0644) == 0;
}

// A character device like the system's null device, made in place (root only). Never written.
inline bool makeDevice(const QString& path)
{
    makeFolders(QFileInfo(path).absolutePath());
    return ::mknod(native(path).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0;
}

// Files whose names hold raw bytes (not valid UTF-8, for instance), removed again when it goes:
// Qt cannot list them, so its temporary folder could not remove them.
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
        makeFolders(folder);
        const QByteArray path = native(folder) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        mPaths.append(path);
        const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
        ::close(fd);
        return ok;
    }

private:
    QList<QByteArray> mPaths;
};

// A Unix socket listening at path while it lives.
class ListeningSocket
{
public:
    explicit ListeningSocket(const QString& path)
    {
        makeFolders(QFileInfo(path).absolutePath());
        const QByteArray name = native(path);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (name.size() >= int(sizeof(address.sun_path)))
            return;
        qstrcpy(address.sun_path, name.constData());
        mFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        mOk = mFd >= 0 && ::bind(mFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0
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

// Watches FIFOs of the test from a thread of its own: a writer's non-blocking open succeeds only
// while someone holds the FIFO open for reading. Each such open is counted, and it also frees
// the reader (which then reads an end of file), so that a fault shows as a failure, not a hang.
class FifoReaderGuard
{
public:
    explicit FifoReaderGuard(QStringList fifos = QStringList())
        : mFifos(std::move(fifos))
        , mThread([this] { run(); })
    {
    }
    ~FifoReaderGuard()
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mStop = true;
        }
        mWake.notify_all();
        mThread.join(); // each round is a few non-blocking calls
    }
    FifoReaderGuard(const FifoReaderGuard&) = delete;
    FifoReaderGuard& operator=(const FifoReaderGuard&) = delete;

    void add(const QString& fifo)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mFifos.append(fifo);
    }
    int readersSeen() const { return mReaders; }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mMutex);
        while (!mStop) {
            for (const QString& fifo : qAsConst(mFifos)) {
                const int fd = ::open(native(fifo).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ++mReaders;
                    ::close(fd);
                }
            }
            mWake.wait_for(lock, std::chrono::milliseconds(20));
        }
    }

    QStringList mFifos;
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mStop = false;
    std::atomic<int> mReaders {0};
    std::thread mThread; // last: starts once the members above exist
};

// Special entries of a test: "fifo", "socket", "device", or a link to one ("link to fifo", ...;
// its target then lies in a hidden folder beside the link, inside the same tree). Its FIFOs are
// guarded, its sockets listen while it lives.
class SpecialEntries
{
public:
    static QStringList kinds()
    {
        return {"fifo", "socket", "device", "link to fifo", "link to socket", "link to device"};
    }

    // False when this kind cannot be made here (a device without the right to make one).
    bool make(const QString& kind, const QString& path)
    {
        QString target = path;
        if (kind.startsWith(QLatin1String("link to "))) {
            target = QFileInfo(path).absolutePath() + QStringLiteral("/.targets/") + QFileInfo(path).fileName();
            if (!symlink(target, path))
                return false;
        }
        if (kind.endsWith(QLatin1String("fifo"))) {
            mGuard.add(target);
            return makeFifo(target);
        }
        if (kind.endsWith(QLatin1String("socket"))) {
            mSockets.push_back(std::make_unique<ListeningSocket>(target));
            return mSockets.back()->ok();
        }
        return makeDevice(target);
    }
    const FifoReaderGuard& guard() const { return mGuard; }
    void watchFifo(const QString& fifo) { mGuard.add(fifo); }

private:
    FifoReaderGuard mGuard;
    std::vector<std::unique_ptr<ListeningSocket>> mSockets;
};

} // namespace WatchTest

#endif // WATCHERTESTSUPPORT_H
