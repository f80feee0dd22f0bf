#include "SharedMemoryFault.h"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>

namespace
{
std::atomic<bool> failing{false};
}

SharedMemoryFails::SharedMemoryFails()
{
    failing = true;
}

SharedMemoryFails::~SharedMemoryFails()
{
    failing = false;
}

extern "C" int shm_open(const char* name, int flags, mode_t mode)
{
    if (failing)
    {
        errno = EACCES;
        return -1;
    }
    using Real = int (*)(const char*, int, mode_t);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "shm_open"));
    return real(name, flags, mode);
}
