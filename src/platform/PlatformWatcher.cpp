#include "PlatformWatcher.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace LarkPlatform {

#ifdef Q_OS_LINUX

namespace {

const uint32_t FOLDER_MASK = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

unsigned flagsOf(uint32_t mask)
{
    unsigned flags = 0;
    const struct { uint32_t bit; unsigned flag; } map[] = {
        {IN_CREATE, FolderEvent::Created},        {IN_DELETE, FolderEvent::Deleted},
        {IN_MOVED_FROM, FolderEvent::MovedFrom},  {IN_MOVED_TO, FolderEvent::MovedTo},
        {IN_MODIFY, FolderEvent::Modified},       {IN_ATTRIB, FolderEvent::Attributes},
        {IN_DELETE_SELF, FolderEvent::SelfDeleted}, {IN_MOVE_SELF, FolderEvent::SelfMoved},
        {IN_IGNORED, FolderEvent::Ignored},       {IN_Q_OVERFLOW, FolderEvent::Overflow},
        {IN_ISDIR, FolderEvent::IsFolder},
    };
    for (const auto& entry : map)
        if (mask & entry.bit)
            flags |= entry.flag;
    return flags;
}

} // namespace

bool FolderNotifier::isAvailable()
{
    return true;
}

FolderNotifier::~FolderNotifier()
{
    close();
}

bool FolderNotifier::open(int* errorCode)
{
    close();
    mFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (mFd < 0 && errorCode)
        *errorCode = errno;
    return mFd >= 0;
}

void FolderNotifier::close()
{
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}

int FolderNotifier::addFolder(const QByteArray& path, int* errorCode)
{
    if (mFd < 0) {
        if (errorCode)
            *errorCode = EBADF;
        return -1;
    }
    const int watch = inotify_add_watch(mFd, path.constData(), FOLDER_MASK);
    if (watch < 0 && errorCode)
        *errorCode = errno;
    return watch;
}

void FolderNotifier::removeWatch(int watch)
{
    if (mFd >= 0)
        inotify_rm_watch(mFd, watch);
}

QVector<FolderEvent> FolderNotifier::readEvents()
{
    QVector<FolderEvent> events;
    if (mFd < 0)
        return events;
    // Room for many events at once; aligned as struct inotify_event requires.
    // A bounded number of reads: events that keep coming wait for the next call, so that a busy
    // tree does not hold up the event loop.
    alignas(struct inotify_event) char buffer[64 * 1024];
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t size = ::read(mFd, buffer, sizeof buffer);
        if (size < 0 && errno == EINTR)
            continue;
        if (size <= 0)
            break; // EAGAIN: nothing more waits
        for (ssize_t offset = 0; offset + ssize_t(sizeof(struct inotify_event)) <= size;) {
            struct inotify_event header;
            std::memcpy(&header, buffer + offset, sizeof header);
            FolderEvent event;
            event.watch = header.wd;
            event.flags = flagsOf(header.mask);
            if (header.len > 0) {
                const char* name = buffer + offset + sizeof(struct inotify_event);
                event.name = QByteArray(name, int(qstrnlen(name, header.len)));
            }
            events.append(event);
            offset += ssize_t(sizeof(struct inotify_event) + header.len);
        }
    }
    return events;
}

bool FolderNotifier::isReadable(const QByteArray& path)
{
    return ::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) == 0;
}

#else // no folder notifications of our own: QFileSystemWatcher does the work

bool FolderNotifier::isAvailable() { return false; }
FolderNotifier::~FolderNotifier() {}
bool FolderNotifier::open(int* errorCode)
{
    if (errorCode)
        *errorCode = 0;
    return false;
}
void FolderNotifier::close() {}
int FolderNotifier::addFolder(const QByteArray&, int* errorCode)
{
    if (errorCode)
        *errorCode = 0;
    return -1;
}
void FolderNotifier::removeWatch(int) {}
QVector<FolderEvent> FolderNotifier::readEvents() { return {}; }
bool FolderNotifier::isReadable(const QByteArray&) { return true; }

#endif

} // namespace LarkPlatform
