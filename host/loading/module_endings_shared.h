// What the shared half of module_endings (module_endings.cpp) asks of each system's half
// (module_endings_posix.cpp, module_endings_windows.cpp). Async-signal-safe where it says so.
#ifndef TMHOST_MODULE_ENDINGS_SHARED_H
#define TMHOST_MODULE_ENDINGS_SHARED_H

#include <cstddef>

namespace tmhost::endings {

// Once for the life of the process: `copies` hooks that report an exit (on_immediate_exit with
// the code, or -1 where the system tells none).
void install_exit_hooks(int copies);
// This process is the one that arms; a child the module forks inherits being armed.
void note_arming_process();
bool in_arming_process();
// Async-signal-safe: the thread waits until the process has ended.
[[noreturn]] void wait_for_the_end();
// Async-signal-safe: `line` on stderr, as much as is written.
void write_to_stderr(const char* line, std::size_t length);

}  // namespace tmhost::endings

#endif
