// By its bare name: programs below the core compile this file too (tonemix_sanitizer_defaults).
#include "emulation.h"

#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace tmhost {

// The sanitizer runtime asks this before its shadow memory exists (sanitizer_defaults.cpp): the
// function must touch no instrumented memory and call nothing that the runtime intercepts, so
// it is built without instrumentation and compares by hand.
__attribute__((no_sanitize("address", "undefined"))) bool running_under_emulation() {
    // A 64-bit kernel that runs this 32-bit program itself names its own machine, "x86_64";
    // qemu-user answers for the processor it emulates ("i686").
    struct utsname names;
    if (syscall(SYS_uname, &names) != 0) return false;
    static const char kernel_64[] = "x86_64";
    for (unsigned i = 0; i < sizeof kernel_64; ++i) {
        if (names.machine[i] != kernel_64[i]) return true;
    }
    return false;
}

}  // namespace tmhost
