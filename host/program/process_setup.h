// What the program sets for itself before any command runs and before any thread is made, so
// that every thread and every child process (validate's groups, the trial load) starts from it:
// the crash signals unblocked and SIGCHLD at its default (a parent may hand down a mask or an
// ignored SIGCHLD, and the host then can neither report a crash nor wait for its children), and a
// stack limit the host and the module can run in.
#ifndef TMHOST_PROCESS_SETUP_H
#define TMHOST_PROCESS_SETUP_H

#include <string>

namespace tmhost {

// The least stack the program runs with, and the one it raises a smaller limit to.
constexpr unsigned long kLeastStackBytes = 512ul * 1024;
constexpr unsigned long kWantedStackBytes = 8ul * 1024 * 1024;

// Sets up the process; "" when it may go on, else why not in one line: "the stack limit is 64
// KiB (ulimit -s 64), below the 512 KiB this program needs; it cannot be raised here".
std::string prepare_process();

}  // namespace tmhost

#endif
