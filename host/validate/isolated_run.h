// Running one validation group where its module cannot take the validator down with it.
//
// In a child process: on Linux a fork of this process, on Windows this program started again for
// the one group (validate MODULE --only GROUP --in-process, with the file for its verdict in the
// environment). A child that crashes, aborts, exits without a verdict or outlives the time limit
// gives a failed verdict saying so, and the next group runs.
#ifndef TMHOST_ISOLATED_RUN_H
#define TMHOST_ISOLATED_RUN_H

#include <string>

#include "host/validate/validation.h"

namespace tmhost {

// The environment variable through which a Windows child learns where its verdict goes.
constexpr const char* kVerdictFileVariable = "TONEMIX_VALIDATE_VERDICT";

// The group in this process. A ModuleError or any other exception it throws becomes a failure.
GroupVerdict run_in_process(const ValidationGroup& group, const ValidationSettings& settings);

// A Windows child's whole work: the group in this process, its verdict (or one given early)
// written to verdict_file for the parent.
void run_for_parent(const ValidationGroup& group, const ValidationSettings& settings,
                    const std::string& verdict_file);

// Whether a crash while the module loads takes only a child down, so that the load is worth a
// child of its own: on Linux; on Windows the system's loader catches it and the load fails.
bool isolates_load_crashes();

// The group in a child process, waited for at most time_limit_seconds.
GroupVerdict run_isolated(const ValidationGroup& group, const ValidationSettings& settings,
                          int time_limit_seconds);

// In a child process: gives the verdict to the parent at once and ends the process. A group calls
// it when the module is stuck in a loop it cannot be pulled out of (a light loop asking for
// two billion lights), so that the verdict names the fault rather than the time limit. Returns
// (and changes nothing) when the group runs in this process.
void deliver_verdict_now(const GroupVerdict& verdict);

// In a child process on Linux: tells the parent what the group is about to do ("case 12 (null
// context)"), so that a crash or a hang can be reported with the case that caused it. Does
// nothing elsewhere.
void note_progress(const std::string& what);

// A verdict as lines of text and back, for the way from a child to its parent. Reading text that
// is no verdict gives a failed one saying so.
std::string verdict_text(const GroupVerdict& verdict);
GroupVerdict verdict_from_text(const std::string& text);

}  // namespace tmhost

#endif
