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

// The group in a child process, waited for at most time_limit_seconds.
GroupVerdict run_isolated(const ValidationGroup& group, const ValidationSettings& settings,
                          int time_limit_seconds);

// A verdict as lines of text and back, for the way from a child to its parent. Reading text that
// is no verdict gives a failed one saying so.
std::string verdict_text(const GroupVerdict& verdict);
GroupVerdict verdict_from_text(const std::string& text);

}  // namespace tmhost

#endif
