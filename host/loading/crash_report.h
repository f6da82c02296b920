// A module that crashes is a fault of the module, to be told in one line, not a crash of the
// program: while a CrashReport lives, a crash of this process (a segmentation fault, an illegal
// instruction, a bus error or an arithmetic trap; on Windows, an exception no one handles) writes
//     tonemix-host: the module crashed while loading (signal 11, segmentation fault);
//     `tonemix-host validate MODULE` shows where
// (one line) on stderr and ends the process with exit code 2. The handler can do no more than
// that: the process is in whatever state the module left it. A report also turns the module's
// exit, abort, uncaught exception and stack overflow into one line (module_endings.h), and unblocks
// the crash signals on its thread, since a crash of a blocked signal ends the process unheard.
//
// While the module loads and starts, every crash is the module's: it happens in the system's
// loader, in the module, or in the host on the module's behalf. Once it has started, a crash
// counts as the module's in the module's own code, at a jump to an address where no code is, or
// in a host operation the module called (which reads what the module handed over); any other
// crash goes on to the handler that was there before (a sanitizer's report of a fault of the
// host), as if no report were installed.
//
// For the commands that load a module to use it. validate's groups do not use it: their parent
// reads the crash of the child itself. One report at a time, made on one thread while no module
// code runs; its session changes its phase under a lock of its own (module_session.h).
#ifndef TMHOST_CRASH_REPORT_H
#define TMHOST_CRASH_REPORT_H

#include <memory>
#include <string>
#include <vector>

#include "host/loading/signal_stack.h"

namespace tmhost {

class CrashReport {
public:
    explicit CrashReport(const std::string& module_path);
    ~CrashReport();

    // The module has started; `entry`, its c4d_main, shows where its code lies. `phase` is what
    // the line says it was doing from now on ("running").
    void started(const void* entry, const char* phase);
    // What the module is doing from now on, for the line: "shading", "ending". Puts back the
    // host's handlers where the module replaced them (a module's own handler of SIGSEGV would
    // hide its next crash).
    void set_phase(const char* phase);

    // One line for each handler the module replaced or ignored so far ("the module set its own
    // handler for SIGSEGV; the host put its own back", "the module ignored SIGSEGV; ..."), after
    // putting the host's back once more.
    std::vector<std::string> replaced_handlers();

    // The signals a report handles and takes back itself (none on Windows).
    static std::vector<int> handled_signals();

    // A module kept loaded runs on under its threads for as long as the process lives: a crash or
    // an exit of theirs stays the module's, so its report stays too, never disarmed, in the phase
    // "running after its end". False where it cannot stay (on Windows the program's own end meets
    // the exit-time hook, which would take it for the module's): the report is gone.
    static bool keep_for_the_process(std::unique_ptr<CrashReport> report);

private:
    void reclaim_handlers();
    void note_replaced(const std::string& line);

    std::string module_path_;
    std::unique_ptr<SignalStack> signal_stack_;
    std::vector<std::string> replaced_;

    CrashReport(const CrashReport&) = delete;
    CrashReport& operator=(const CrashReport&) = delete;
};

// The name of a Windows exception code a crash raises ("access violation"), or null for one of no
// known name: the commands' crash line and validate's crashed groups name a crash alike.
const char* exception_name(unsigned long code);

// What a crash with `signal` (on Windows, an exception code; 0 for one of no known kind) while
// the module was at `phase` is reported as: "the module crashed while loading (signal 11,
// segmentation fault); `tonemix-host validate MODULE` shows where".
std::string crash_text(const std::string& module_path, unsigned long signal,
                       const char* phase = "loading");
// The line the handler writes, "tonemix-host: " and crash_text, without its end of line: made
// before any crash.
std::string crash_line(const std::string& module_path, unsigned long signal,
                       const char* phase = "loading");

}  // namespace tmhost

#endif
