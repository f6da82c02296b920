// tonemix-host validate: puts a module build through every group of hostile host behaviour,
// each in a child process of its own, and gives one line per group and a count.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "host/commands/command.h"
#include "host/commands/command_bodies.h"
#include "host/commands/command_error.h"
#include "host/commands/image_output.h"
#include "host/core/emulation.h"
#include "host/image/whole_file.h"
#include "host/loading/host_limits.h"
#include "host/loading/module_file.h"
#include "host/loading/trial_load.h"
#include "host/validate/isolated_run.h"
#include "host/validate/junit_report.h"
#include "host/validate/validation.h"

namespace tmhost {

namespace {

std::string group_names() {
    std::string names;
    for (const ValidationGroup& group : validation_groups()) {
        if (!names.empty()) names += ", ";
        names += group.name;
    }
    return names;
}

std::vector<const ValidationGroup*> chosen_groups(const CommandLine& line) {
    std::vector<const ValidationGroup*> chosen;
    const std::vector<std::string> only = line.values("--only");
    if (only.empty()) {
        for (const ValidationGroup& group : validation_groups()) chosen.push_back(&group);
        return chosen;
    }
    // In the order validate runs them, each once, whatever the order given.
    for (const std::string& name : only) {
        if (find_group(name) == nullptr) {
            throw UsageError("--only: no group '" + name + "' (the groups: " + group_names() + ")");
        }
    }
    for (const ValidationGroup& group : validation_groups()) {
        for (const std::string& name : only) {
            if (name == group.name) {
                chosen.push_back(&group);
                break;
            }
        }
    }
    return chosen;
}

uint32_t chosen_seed(const CommandLine& line) {
    if (const auto text = line.value("--seed")) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text->c_str(), &end, 10);
        if (text->empty() || *end != '\0' || (*text)[0] == '-' || value > 0xFFFFFFFFull) {
            throw UsageError("--seed: '" + *text + "' is not a whole number from 0 to 4294967295");
        }
        return static_cast<uint32_t>(value);
    }
    std::random_device device;
    return device() ^
           static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

constexpr const char* kNotLoadable = "not loadable: ";
// --junit's name for standard output, as -o's.
constexpr const char* kStandardOutputName = "-";

// The module loaded and unloaded, in whatever process runs it.
GroupVerdict load_check(const ValidationSettings& settings) {
    GroupVerdict verdict;
    note_progress("load");
    // The system's loader stops a process on some damaged files: that is no crash of the module's
    // but a file the system cannot load, and the trial in a child of its own says so.
    // The trial stops short of the unload: the unload below is this group's, its phase noted.
    const TrialLoad trial = trial_load(settings.module_path, false);
    if (trial.outcome == TrialLoad::Outcome::loader_stopped) {
        verdict.passed = false;
        verdict.failures.push_back(kNotLoadable + trial_load_problem(settings.module_path, trial));
        return verdict;
    }
    ModuleFile module;
    if (!module.load(settings.module_path)) {
        verdict.passed = false;
        verdict.failures.push_back(kNotLoadable + module.error());
    }
    note_progress("unload");
    module.unload();
    return verdict;
}

// The module must at least load, or every group would say the same: one that cannot is a
// ModuleError. One that crashes as it loads (its own code runs then) takes only a child down on
// Linux, and the answer is why; the groups are then not run. On Windows the loader itself catches
// a crash while a module loads, and the load fails.
struct LoadFailure {
    std::string line;    // lifecycle's
    std::string others;  // every other group's
};

std::optional<LoadFailure> load_crash(const ValidationSettings& settings, bool in_process,
                                      int time_limit) {
    static const ValidationGroup load = {"load", "the module loads", load_check};
    const bool separate = !in_process && isolates_load_crashes();
    const GroupVerdict verdict =
        separate ? run_isolated(load, settings, time_limit) : run_in_process(load, settings);
    if (verdict.passed) return std::nullopt;
    const std::string first = verdict.failures.empty() ? verdict.line() : verdict.failures[0];
    if (first.rfind(kNotLoadable, 0) == 0) {
        throw ModuleError(first.substr(std::string(kNotLoadable).size()));
    }
    // The child's last note says whether the module was loading or unloading (its destructors).
    std::string what = first;
    std::string phase = "load";
    for (const char* note : {"load", "unload"}) {
        const std::string during = std::string(" during ") + note;
        if (what.size() > during.size() &&
            what.compare(what.size() - during.size(), during.size(), during) == 0) {
            what.erase(what.size() - during.size());
            phase = note;
        }
    }
    if (phase == "unload") phase = "unload (the module's destructors)";
    // "crashed: signal 11 (Segmentation fault)" becomes "crashed during load: signal 11 (...)".
    const std::string crashed = "crashed: ";
    // A hang in the unload names its phase itself ("... during unload").
    if (first.rfind("hung", 0) == 0) {
        return LoadFailure{
            first.find(" during ") == std::string::npos ? first + " during load" : first,
            "not run: the module hung as it was loaded or unloaded (see lifecycle)"};
    }
    const std::string others = "not run: the module crashed during " + phase + " (see lifecycle)";
    if (what.rfind(crashed, 0) == 0) {
        return LoadFailure{"crashed during " + phase + ": " + what.substr(crashed.size()), others};
    }
    // A sanitizer's report of the crash ended the child: "crashed (the process then ended ...)".
    if (what.rfind("crashed ", 0) == 0) {
        return LoadFailure{"crashed during " + phase + what.substr(std::string("crashed").size()),
                           others};
    }
    if (what.rfind("the module ", 0) == 0) {
        return LoadFailure{
            what + " during " + phase,
            "not run: the module ended the process during " + phase + " (see lifecycle)"};
    }
    return LoadFailure{"during " + phase + ": " + what,
                       "not run: the module failed during " + phase + " (see lifecycle)"};
}

void progress(bool shown, const std::string& text) {
    if (!shown) return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
}

}  // namespace

int validate_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output) {
    if (line.positional() && line.has("--module")) {
        throw UsageError("the module given twice: as '" + *line.positional() +
                         "' and with --module");
    }
    ValidationSettings validation;
    validation.module_path =
        module_path(line.positional() ? line.positional() : line.value("--module"), settings);
    validation.level = line.integer("--level", 1, 10).value_or(5);
    validation.seed = chosen_seed(line);
    const bool in_process = line.has("--in-process");
    // A group's time limit grows with the work its level asks for, and with the emulator's
    // slowness where the program runs on one.
    const int at_speed = static_cast<int>(120 * scaled(validation, 1 << 4) / (1 << 4)) + 60;
    const int emulation_factor = running_under_emulation() ? 10 : 1;
    const int time_limit =
        line.integer("--time-limit", 1, 86400).value_or(emulation_factor * at_speed);
    const std::vector<const ValidationGroup*> groups = chosen_groups(line);
    // Found before the groups run, not after minutes of them.
    const std::optional<std::string> junit = line.value("--junit");
    const bool junit_to_stdout = junit && *junit == kStandardOutputName;
    if (junit && !junit_to_stdout) {
        try {
            refuse_files_read(*junit, files_read_by(validation.module_path));
            check_writable(*junit);
        } catch (const std::runtime_error& error) {
            throw OutputRefused("validate: the JUnit report " + std::string(error.what()));
        }
    }
    // Before any group: a group that fails for want of them would blame the module.
    const std::vector<std::string> limits = host_limit_problems(validation_needs());
    if (!limits.empty()) {
        std::string text;
        for (const std::string& limit : limits) text += (text.empty() ? "" : "; ") + limit;
        throw HostError("validate: this host's own limits are too small to validate a module: " +
                        text + "; no group was run");
    }
    // Standard output carries the report alone then, and the lines go to stderr.
    const auto say = [&](std::string text) {
        if (junit_to_stdout) {
            output.note(text);
        } else {
            output.out(text);
        }
    };
    const std::optional<LoadFailure> crash = load_crash(validation, in_process, time_limit);

    // A child started for one group on Windows hands its verdict back through a file.
    if (const char* verdict_file = std::getenv(kVerdictFileVariable)) {
        if (in_process && groups.size() == 1) {
            run_for_parent(*groups.front(), validation, verdict_file);
        }
    }

    say("validate: " + validation.module_path + ", level " + std::to_string(validation.level) +
        ", seed " + std::to_string(validation.seed) +
        (in_process ? ", in this process" : ", each group in a child process"));
    std::vector<GroupResult> results;
    int failed = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const ValidationGroup& group = *groups[i];
        progress(settings.show_progress, "validate: " + std::string(group.name) + " (group " +
                                             std::to_string(i + 1) + " of " +
                                             std::to_string(groups.size()) + ")");
        const auto started = std::chrono::steady_clock::now();
        GroupResult result;
        result.name = group.name;
        if (crash) {
            // Every group would load the module first, and crash there again.
            result.verdict.passed = false;
            result.verdict.failures.push_back(
                std::string(group.name) == "lifecycle" ? crash->line : crash->others);
        } else {
            result.verdict = in_process ? run_in_process(group, validation)
                                        : run_isolated(group, validation, time_limit);
        }
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (!result.verdict.passed) failed += 1;
        say(std::string(group.name) + ": " + result.verdict.line());
        results.push_back(std::move(result));
    }
    progress(settings.show_progress, "");
    say(std::to_string(results.size() - failed) + " passed, " + std::to_string(failed) + " failed");
    if (junit_to_stdout) {
        output.standard_output_bytes = junit_xml(results, validation);
    } else if (junit) {
        try {
            replace_file(*junit, junit_xml(results, validation));
        } catch (const FileError& error) {
            // The folder took a file before the groups ran: the verdicts were reached and lost
            // on the way out (a full disk), as a render's image is.
            throw OutputLost("validate: the JUnit report " + std::string(error.what()));
        }
    }
    return failed == 0 ? EXIT_CLEAN : EXIT_FAULT;
}

const std::vector<OptionRule>& validate_options() {
    static const std::string only_values = "one of: " + group_names() + "; default: every group";
    static const std::vector<OptionRule> rules = {
        OptionRule::valued("--module", "PATH", "the module file")
            .with_values("default: Tonemix.cdl beside this program or in Tonemix/ beside it; the "
                         "same as MODULE"),
        OptionRule::valued(
            "--level", "N",
            "how hard each group pushes: counts, sizes and repetitions double with each level; 10 "
            "is the overnight run")
            .with_values("1 to 10; default: 5"),
        OptionRule::valued("--only", "GROUP", "run this group alone")
            .with_values(only_values.c_str())
            .repeated(),
        OptionRule::flag(
            "--in-process",
            "run every group in this process, for a debugger: a crash ends the validation"),
        OptionRule::valued("--seed", "N",
                           "the seed of every randomised group, to repeat a run exactly")
            .with_values("0 to 4294967295; default: a new one, printed"),
        OptionRule::valued("--junit", "FILE",
                           "also write the verdicts as JUnit XML, for CI systems")
            .with_values("a file, or - for standard output (the lines go to stderr then)"),
        OptionRule::valued("--time-limit", "S", "seconds a group may take before it counts as hung")
            .with_values("1 to 86400; default: 180 at level 5, more at higher levels, ten times as "
                         "much under "
                         "emulation"),
        kHelpOption,
    };
    return rules;
}

}  // namespace tmhost
