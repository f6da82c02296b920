// A module file loaded once in a child process, before the host loads it itself. Two things that
// can happen while a file loads cannot be caught in the process that loads it: the system's loader
// stops the whole process on some damaged files (glibc's asserts, "Inconsistency detected by
// ld.so: ...", then exit 127), and a module's constructors run before its entry can be asked
// anything. The child meets either in the host's place.
//
// Linux only: the Windows loader answers an error for a damaged file, and a crash in a DLL's
// start-up code reaches the unhandled-exception filter like any other.
#ifndef TMHOST_TRIAL_LOAD_H
#define TMHOST_TRIAL_LOAD_H

#include <string>

namespace tmhost {

struct TrialLoad {
    enum class Outcome {
        passed,          // the child loaded the file (or the system refused it with an error,
                         // which the host's own load reports)
        no_entry,        // the file loaded but has no c4d_main: the host need not load it at all
        crashed,         // the child was ended by `signal` at `phase`
        ended,           // the module ended the child with `exit_code` at `phase`: its
                         // constructors or destructors called exit or _exit
        loader_stopped,  // the system's loader (or the module) ended the child with `exit_code`;
                         // `message` is the first line it wrote
        not_finished,    // still loading after kTrialLoadSeconds; the child was killed
        not_tried,       // no child could be made: other threads run (see trial_load), or Windows;
                         // or how the child ended could not be learnt
    };
    Outcome outcome = Outcome::not_tried;
    unsigned long signal = 0;
    int exit_code = 0;
    std::string message;
    // What the child was doing: "loading" (the module's constructors) or "unloading" (its
    // destructors, which the child runs too).
    std::string phase = "loading";
};

constexpr int kTrialLoadSeconds = 60;

// Loads and unloads the file at `path` in a child and says how that ended. The child is made with
// fork, so only in a process that runs no other thread at that moment (as tonemix-host does when it
// loads a module): elsewhere nothing is tried, and the host's own load meets what the file does.
// With `unload` false the child ends once the file is loaded: a caller that unloads the module
// itself right after, and names what the unload does, need not wait for a trial's unload first.
TrialLoad trial_load(const std::string& path, bool unload = true);

// Why the host must not load the file after `trial`, in one line: a module without c4d_main, the
// crash (crash_text), the system's loader stopping (its words), an end of another kind, or the
// time running out; "" when it passed or was not tried.
std::string trial_load_problem(const std::string& path, const TrialLoad& trial);

}  // namespace tmhost

#endif
