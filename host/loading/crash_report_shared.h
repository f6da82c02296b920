// What the shared half of CrashReport (crash_report.cpp) and each system's half
// (crash_report_posix.cpp, crash_report_windows.cpp) use of one another. The state behind these
// is process-wide: the handlers read it.
#ifndef TMHOST_CRASH_REPORT_SHARED_H
#define TMHOST_CRASH_REPORT_SHARED_H

#include <cstdint>
#include <string>

namespace tmhost::crash {

// The kinds of crash the system's half tells apart, each with a line of its own: signals on
// Linux, exception codes on Windows.
constexpr int kMostCaught = 8;
extern const unsigned long kCaught[];
extern const int kCaughtCount;

// The lines for every caught kind and for one of no known kind, made before the module runs.
void keep_lines(const std::string& module_path, const char* phase);
// Async-signal-safe: the line kept for `signal` written, and the process ended.
[[noreturn]] void write_and_end(unsigned long signal);

// Where the started module's code lies; until it has started, every crash is the module's.
void forget_module_code();
void add_module_code(std::uintptr_t begin, std::uintptr_t end);
bool has_module_code();
void set_every_crash_the_modules(bool every);
// Async-signal-safe: whether a crash at `at` is the module's (see crash_report.h).
bool is_the_modules(std::uintptr_t at, bool jumped_nowhere);

// The system's half.
// "signal 11, segmentation fault", "exception 0xc0000005, access violation".
std::string crash_kind_text(unsigned long signal);
// The host's handlers installed in place of those before, and those put back.
void install_handlers();
void restore_handlers();
// Notes the code of the loaded object that holds `entry` (add_module_code).
void find_module_code(const void* entry);

}  // namespace tmhost::crash

#endif
