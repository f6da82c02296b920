#include <cstdlib>

#include <sys/syscall.h>
#include <unistd.h>

#include "host/loading/module_endings.h"
#include "host/loading/module_endings_shared.h"

namespace tmhost {

namespace {

pid_t armed_in = 0;  // the process that armed: a child the module forks inherits being armed

}  // namespace

// The program's own exit (host/program/immediate_exit.cpp) tells the endings first, before any
// exit-time function of the module's runs: no hook is needed, and none could come first.
void endings::install_exit_hooks(int) {}

void endings::note_arming_process() { armed_in = getpid(); }

bool endings::in_arming_process() { return getpid() == armed_in; }

void endings::wait_for_the_end() {
    for (;;) pause();
}

void endings::write_to_stderr(const char* line, std::size_t length) {
    if (write(STDERR_FILENO, line, length) < 0) {
        // Nothing more can be said.
    }
}

void host_exit_now(int code) {
    syscall(SYS_exit_group, code);
    _exit(code);  // not reached
}

}  // namespace tmhost
