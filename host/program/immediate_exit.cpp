// _exit and _Exit of the program's own, ahead of the C library's for every library the program
// loads (cmake/host_exports.list exports them): a module that calls either while it is loaded
// ends the process with the one line of module_endings.h rather than with its own code. The C
// library's own exit reaches its internal _exit, not these.
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

}  // extern "C"
