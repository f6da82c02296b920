// exit, _exit and _Exit of the program's own, ahead of the C library's for every library the
// program loads (cmake/host_exports.list exports them): a module that calls any of them while it
// is loaded ends the process with the one line of module_endings.h rather than with its own code,
// before any exit-time function runs (its own static destructors among them, which would take its
// globals from under its threads that still shade). The C library's own exit (the return from
// main) and its internal _exit reach none of these.
#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>

#include "host/loading/module_endings.h"

extern "C" {

[[noreturn]] void _exit(int code) {
    tmhost::on_immediate_exit(code);
    syscall(SYS_exit_group, code);
    for (;;) {
    }
}

[[noreturn]] void _Exit(int code) { _exit(code); }

// Not armed, or in a child the module forked: the C library's exit, with its exit-time work.
[[noreturn]] void exit(int code) {
    tmhost::on_immediate_exit(code);
    using Exit = void (*)(int);
    static const Exit c_library_exit = reinterpret_cast<Exit>(dlsym(RTLD_NEXT, "exit"));
    if (c_library_exit != nullptr) c_library_exit(code);
    syscall(SYS_exit_group, code);
    for (;;) {
    }
}

}  // extern "C"
