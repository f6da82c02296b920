#include "host/core/emulation.h"

#if defined(__linux__)
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>
#endif

namespace tmhost {

bool running_under_emulation() {
#if defined(__linux__)
    // A 64-bit kernel that runs this 32-bit program itself names its own machine, "x86_64";
    // qemu-user answers for the processor it emulates ("i686"). The raw system call keeps this
    // usable while a sanitizer's runtime is still starting, before any interceptor is ready.
    struct utsname names;
    if (syscall(SYS_uname, &names) != 0) return false;
    return std::strcmp(names.machine, "x86_64") != 0;
#else
    // The Windows build runs under wine, which has no way onto such a machine.
    return false;
#endif
}

}  // namespace tmhost
