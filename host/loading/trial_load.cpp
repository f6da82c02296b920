#include "host/loading/trial_load.h"

#include "host/loading/crash_report.h"
#include "host/loading/module_endings.h"

namespace tmhost {

std::string trial_load_problem(const std::string& path, const TrialLoad& trial) {
    switch (trial.outcome) {
    case TrialLoad::Outcome::no_entry:
        return "not a module of this host (no c4d_main): " + path;
    case TrialLoad::Outcome::crashed:
        return crash_text(path, trial.signal, trial.phase.c_str());
    case TrialLoad::Outcome::ended:
        return ending_text(Ending::exited, trial.phase.c_str(), trial.exit_code);
    case TrialLoad::Outcome::loader_stopped:
        if (trial.exit_code == 127 && !trial.message.empty()) {
            return "not a loadable module: " + path +
                   " (the system's loader stopped: " + trial.message + ")";
        }
        return "not a loadable module: " + path + " (loading it ended the process with exit code " +
               std::to_string(trial.exit_code) +
               (trial.message.empty() ? "" : ": " + trial.message) + ")";
    case TrialLoad::Outcome::not_finished:
        return "not a loadable module: " + path + " (still loading after " +
               std::to_string(kTrialLoadSeconds) + " s)";
    case TrialLoad::Outcome::passed:
    case TrialLoad::Outcome::not_tried:
        break;
    }
    return std::string();
}

}  // namespace tmhost
