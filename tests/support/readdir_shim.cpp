// Folder listings as hostile file systems give them, for tests run in a child process with
// LD_PRELOAD:
//   READDIR_NOTYPE  when set, every entry readdir returns has the type DT_UNKNOWN (file systems
//                   that record no entry types)
//   READDIR_VANISH  an entry of this name is removed just before readdir returns it (unlink, or
//                   rmdir for an empty folder), as when it goes while the folder is read
// Other calls are untouched. Linux only.

#include <dlfcn.h>
#include <dirent.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#define READDIR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

template <typename F>
F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

template <typename Entry>
Entry* altered(DIR* dir, Entry* entry)
{
    if (!entry)
        return entry;
    const char* vanish = std::getenv("READDIR_VANISH");
    if (vanish && *vanish && std::strcmp(entry->d_name, vanish) == 0) {
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) != 0)
            ::unlinkat(::dirfd(dir), entry->d_name, AT_REMOVEDIR);
    }
    if (std::getenv("READDIR_NOTYPE"))
        entry->d_type = DT_UNKNOWN;
    return entry;
}

} // namespace

READDIR_EXPORT dirent* readdir(DIR* dir)
{
    using ReadDir = dirent* (*)(DIR*);
    static ReadDir real = next<ReadDir>("readdir");
    return altered(dir, real(dir));
}

READDIR_EXPORT dirent64* readdir64(DIR* dir)
{
    using ReadDir64 = dirent64* (*)(DIR*);
    static ReadDir64 real = next<ReadDir64>("readdir64");
    return altered(dir, real(dir));
}
