// Read errors on demand, for tests run in a child process with LD_PRELOAD:
//   READFAIL_PATH   the file: every descriptor whose path ends with this text is affected
//   READFAIL_AFTER  bytes served before every further read(2) or pread(2) fails with EIO (0: at once)
// Other descriptors are untouched. Linux only (the path of a descriptor comes from /proc).

#include <dlfcn.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>
#include <unistd.h>

#define READFAIL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

bool affected(int fd)
{
    const char* wanted = std::getenv("READFAIL_PATH");
    if (!wanted || !*wanted)
        return false;
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    const size_t length = std::strlen(wanted);
    return size_t(n) >= length && std::strcmp(target + n - length, wanted) == 0;
}

long long allowed()
{
    const char* after = std::getenv("READFAIL_AFTER");
    return after ? std::atoll(after) : 0;
}

// How many of count bytes at offset (-2: the descriptor's position) may still be served; -1 when
// the read must fail.
long long limit(int fd, off_t offset, size_t count)
{
    if (!affected(fd))
        return (long long)count;
    if (offset == -2)
        offset = ::lseek(fd, 0, SEEK_CUR);
    const long long left = allowed() - (long long)offset;
    if (left <= 0 || offset < 0)
        return -1;
    return left < (long long)count ? left : (long long)count;
}

template <typename F>
F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

using PRead = ssize_t (*)(int, void*, size_t, off_t);

// pread and pread64 alike: the real call, cut at the limit, or EIO.
ssize_t limitedPread(PRead real, int fd, void* buffer, size_t count, off_t offset)
{
    const long long n = limit(fd, offset, count);
    if (n < 0) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, size_t(n), offset);
}

} // namespace

READFAIL_EXPORT ssize_t read(int fd, void* buffer, size_t count)
{
    using Read = ssize_t (*)(int, void*, size_t);
    static Read real = next<Read>("read");
    const long long n = limit(fd, -2, count);
    if (n < 0) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, size_t(n));
}

READFAIL_EXPORT ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    static PRead real = next<PRead>("pread");
    return limitedPread(real, fd, buffer, count, offset);
}

READFAIL_EXPORT ssize_t pread64(int fd, void* buffer, size_t count, off_t offset)
{
    static PRead real = next<PRead>("pread64");
    return limitedPread(real, fd, buffer, count, offset);
}
