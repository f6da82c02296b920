// tonemix-host validate: a host that does to a module build everything a host may do to it, one
// group of hostile behaviour at a time, and says whether the module survived it with nothing
// left behind.
//
// A group is a function from settings to a verdict. Groups run in a child process each
// (isolated_run.h), so the verdict of a group whose module crashed or hung comes from the parent;
// a group itself only has to find faults that leave the process standing.
#ifndef TMHOST_VALIDATION_H
#define TMHOST_VALIDATION_H

#include <cstdint>
#include <string>
#include <vector>

namespace tmhost {

struct ValidationSettings {
    std::string module_path;  // absolute: the module derives its resource folder from it
    int level = 5;            // 1 .. 10: how hard each group pushes
    uint32_t seed = 0;        // every randomised group repeats exactly for one seed
};

// A count that is `at_level_5` at the default level, doubling with every level above it and
// halving with every level below (never below 1).
long scaled(const ValidationSettings& settings, long at_level_5);

// What one group found.
struct GroupVerdict {
    bool passed = true;
    std::string counts;                 // what it ran: "120 sequences, 50 loads"
    std::vector<std::string> failures;  // each: what, with the host call or value that showed it

    // "pass (counts)" or "FAIL: first failure (and N more)".
    std::string line() const;
};

struct ValidationGroup {
    const char* name;     // "lifecycle", as --only takes it
    const char* summary;  // one sentence for help and docs
    GroupVerdict (*run)(const ValidationSettings& settings);
};

// Every group, in the order validate runs them.
const std::vector<ValidationGroup>& validation_groups();
const ValidationGroup* find_group(const std::string& name);

GroupVerdict validate_lifecycle(const ValidationSettings& settings);
GroupVerdict validate_host_faults(const ValidationSettings& settings);
GroupVerdict validate_parameters(const ValidationSettings& settings);
GroupVerdict validate_render_records(const ValidationSettings& settings);
GroupVerdict validate_threads(const ValidationSettings& settings);
GroupVerdict validate_nodes(const ValidationSettings& settings);
GroupVerdict validate_repeatability(const ValidationSettings& settings);

}  // namespace tmhost

#endif
