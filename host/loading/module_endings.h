// The ways besides a crash in which a module can end the process it runs in: exit() (or a return
// from a thread that ends the process), abort(), an exception that no one catches, and a stack
// overflow. While a CrashReport lives, each ends the process with one line on stderr,
//     tonemix-host: the module ended the process (exit 0) while shading
//     tonemix-host: the module aborted while starting
//     tonemix-host: the module threw an exception no one caught while shading
//     tonemix-host: the module overflowed its stack while shading
// and exit code 2, the code of a crash report. While a module is loaded, only the module ends the
// process: the host's own faults are exceptions that unwind to the command, so an exit, an abort
// or a terminate then is the module's, wherever it was called from.
//
// On Linux tonemix-host defines exit(), _exit() and _Exit() itself (its definitions come first
// for a module the program loads: host/program/immediate_exit.cpp), and a module's call reaches
// on_immediate_exit before any exit-time function runs: the module's own static destructors,
// registered as it loaded, would otherwise run first, under its threads that still shade. A call
// from within the C library (the return from main among them) reaches none of this. On Windows an
// exit-time hook meets exit(), after the module's own; ExitProcess cannot be caught. The trial load
// (trial_load.h) meets these in a child when they come from the module's constructors or
// destructors; validate's groups meet them in theirs.
#ifndef TMHOST_MODULE_ENDINGS_H
#define TMHOST_MODULE_ENDINGS_H

#include <cstddef>
#include <string>

namespace tmhost {

enum class Ending { exited, aborted, uncaught_exception, stack_overflow };

// The line's text without "tonemix-host: ": "the module ended the process (exit 0) while
// shading". `exit_code` counts only for `exited`; a negative one is unknown (on Windows).
std::string ending_text(Ending ending, const char* phase, int exit_code = -1);

// Between arm and disarm, every ending above is reported with the phase last set. One at a time,
// armed, set and disarmed on one thread while no module code runs (CrashReport does).
void arm_module_endings(const char* phase);
void set_module_ending_phase(const char* phase);
void disarm_module_endings();
// The phase last set, armed or not ("" before any): a module session sets it in every process,
// so that validate's children can tell their parent where the module ended them.
const char* module_phase();

// For a call of exit(code), _exit(code) or _Exit(code): while armed, in the process that armed
// (not a child the module forked, whose exit is its own), the line with the code written and the
// process ended with exit 2. Returns otherwise.
void on_immediate_exit(int code);

// The host's own end of the process without hooks, which a module's _exit would be taken for:
// the system call itself on Linux. Async-signal-safe.
[[noreturn]] void host_exit_now(int code);

// The line kept for `ending` at the current phase written, and the process ended with exit 2; for
// signal handlers (an abort, an overflow seen in a crash handler). Async-signal-safe.
[[noreturn]] void end_with(Ending ending);

// Writes `line` (its end of line included) on stderr and ends the process with exit 2, once: a
// second thread that comes here waits until the first has ended the process. Async-signal-safe.
[[noreturn]] void write_line_and_end(const char* line, std::size_t length);

}  // namespace tmhost

#endif
