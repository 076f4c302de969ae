#ifndef ODDENTRIES_H
#define ODDENTRIES_H

// Hostile entries for the watcher and mirror tests, made inside the test's own folder only.

#include "TestFiles.h"

#include <QString>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace FileTest {

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

// The odd entries of a test: "fifo", "socket", "device", or a link to one ("link to fifo", ...;
// its target then lies in a hidden folder beside the link, inside the same tree). Its FIFOs are
// guarded, its sockets listen while it lives.
class OddEntries
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
            return fifo(target);
        }
        if (kind.endsWith(QLatin1String("socket"))) {
            mSockets.push_back(std::make_unique<ListeningSocket>(target));
            return mSockets.back()->ok();
        }
        return device(target);
    }
    const FifoReaderGuard& guard() const { return mGuard; }
    void watchFifo(const QString& fifo) { mGuard.add(fifo); }

private:
    FifoReaderGuard mGuard;
    std::vector<std::unique_ptr<ListeningSocket>> mSockets;
};

} // namespace FileTest
#endif // Q_OS_UNIX

#endif // ODDENTRIES_H
