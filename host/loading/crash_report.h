// A module that crashes as it loads or starts is a fault of the module, to be told in one line,
// not a crash of the program: while a CrashReport lives, a crash of this process (a segmentation
// fault, an illegal instruction, a bus error or an arithmetic trap; on Windows, an exception no one
// handles) writes
//     tonemix-host: the module crashed while loading (signal 11, segmentation fault);
//     `tonemix-host validate MODULE` shows where
// (one line) on stderr and ends the process with exit code 2. The handler can do no more than
// that: the process is in whatever state the module left it.
//
// For the commands that load a module to use it. validate's groups do not use it: their parent
// reads the crash of the child itself. One report at a time, on the thread that loads.
#ifndef TMHOST_CRASH_REPORT_H
#define TMHOST_CRASH_REPORT_H

#include <string>

namespace tmhost {

class CrashReport {
public:
    explicit CrashReport(const std::string& module_path);
    ~CrashReport();
    CrashReport(const CrashReport&) = delete;
    CrashReport& operator=(const CrashReport&) = delete;
};

// The name of a Windows exception code a crash raises ("access violation"), or null for one of no
// known name: the commands' crash line and validate's crashed groups name a crash alike.
const char* exception_name(unsigned long code);

// The line a crash with `signal` (on Windows, an exception code; 0 for one of no known kind)
// prints, without its end of line: what the handler writes, made before any crash.
std::string crash_line(const std::string& module_path, unsigned long signal);

}  // namespace tmhost

#endif
