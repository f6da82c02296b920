#include <cstdlib>

#include <sys/syscall.h>
#include <unistd.h>

#include "host/loading/module_endings.h"
#include "host/loading/module_endings_shared.h"

namespace tmhost {

namespace {

pid_t armed_in = 0;  // the process that armed: a child the module forks inherits being armed

void on_exit_with_code(int code, void*) { on_immediate_exit(code); }

}  // namespace

void endings::install_exit_hooks(int copies) {
    for (int copy = 0; copy < copies; ++copy) on_exit(on_exit_with_code, nullptr);
}

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
