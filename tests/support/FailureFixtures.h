#ifndef FAILUREFIXTURES_H
#define FAILUREFIXTURES_H

// Real failure conditions for the tests (they run as root, so permission bits do not help):
// an entry nobody may change, a really full disk, a limit on the size of written files.

#include "TestFiles.h"

#include <QProcess>
#include <QString>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace FileTest {

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
// mount namespace of this process, so it disappears with the process whatever happens. Made before
// the process starts a thread (a process with threads cannot leave its mount namespace).
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
        if (!beforeName.isEmpty() && !writeFile(folder + "/" + beforeName, before, true))
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
    // False when mounting is not permitted here (then the test is skipped, not failed).
    bool mounted() const { return mMounted; }

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
#endif // Q_OS_UNIX

#endif // FAILUREFIXTURES_H
