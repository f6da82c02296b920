// Every host operation the module calls, failed in turn: for each moment of the module's life
// (load and start, node set-up, shading, tear-down, end and unload) each operation called then
// answers its failure value (null, 0, -1), and every host library is taken away, cut short or
// given null slots. Whatever fails, the module must answer neutral values, break no host rule and
// leave nothing behind.
//
// Operations without a result (the frees, string_init, the copies) have no failure answer: a host
// cannot fail them, only not do them, and what is then left behind is the host's doing. Nor does
// node_get_container, which the boundary promises never answers null.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "host/core/list_library.h"
#include "host/core/operations.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"

namespace tmhost {

namespace {

enum class Moment { load, node_setup, shading, tear_down, end, count };

const char* moment_name(Moment moment) {
    switch (moment) {
    case Moment::load:
        return "load and start";
    case Moment::node_setup:
        return "node set-up";
    case Moment::shading:
        return "shading";
    case Moment::tear_down:
        return "node tear-down";
    case Moment::end:
        return "end and unload";
    case Moment::count:
        break;
    }
    return "?";
}

bool has_failure_answer(const OperationInfo& info) {
    static const char* const kWithout[] = {
        "general_free",       "string_init",   "string_set_cstr",     "string_free",
        "string_copy",        "filename_free", "filename_set_string", "filename_init",
        "filename_destroy",   "filename_copy", "resource_free",       "listlib_free",
        "node_get_container",
    };
    for (const char* name : kWithout) {
        if (std::string(name) == info.name) return false;
    }
    return true;
}

// How one life is made hostile: an operation failed at one moment, or a library changed from
// the start.
struct Injection {
    std::string what;  // for messages
    const OperationInfo* operation = nullptr;
    Moment moment = Moment::load;
    void (*change_host)(StandInHost& host) = nullptr;
};

void prepare_host(StandInHost& host, const Injection& injection) {
    host.journal().set_enabled(true);
    if (injection.change_host != nullptr) injection.change_host(host);
    if (injection.operation != nullptr && injection.moment == Moment::load) {
        host.fail(injection.operation->name);
    }
}

std::size_t failed_calls(const StandInHost& host) {
    std::size_t failed = 0;
    for (const JournalEntry& entry : host.journal().entries()) {
        if (entry.failed_on_request) failed += 1;
    }
    return failed;
}

struct LifeOutcome {
    bool called = false;  // the failed operation was called at least once
    std::vector<std::string> faults;
};

// One whole life under the injection.
LifeOutcome hostile_life(const ValidationSettings& settings, const Injection& injection) {
    LifeOutcome outcome;
    note_progress(injection.what.empty() ? "the life without faults" : injection.what);
    ModuleSession session(settings.module_path,
                          [&injection](StandInHost& host) { prepare_host(host, injection); });
    StandInHost& host = session.host();
    // Only the injected operation is restored and failed again: restore() of every operation
    // would also undo a library change.
    const auto fail_at = [&](Moment moment) {
        if (injection.operation == nullptr) return;
        host.restore(injection.operation->name);
        if (injection.moment == moment) host.fail(injection.operation->name);
    };

    ShaderPlugin shader;
    if (session.started() && shader.find(host, kTonemixShaderId)) {
        auto lights = make_lights(3, [](int32_t index, const float*, bool, float colour[3]) {
            colour[0] = 0.25f * static_cast<float>(index + 1);
            colour[1] = 0.5f;
            colour[2] = 1.0f;
            return true;
        });
        host.set_render_backend(lights.get());
        const Description* description = host.description_library().registered(kTonemixShaderId);
        LightListData list;
        list.scene_objects = {lights->record(0).scene_object};

        fail_at(Moment::node_setup);
        auto node = std::make_unique<ValidatedNode>(host, shader);
        if (node->made()) {
            node->init_defaults();
            if (description != nullptr) {
                if (const Parameter* lightlist = description->find(ParameterType::light_list)) {
                    node->container().set_custom(lightlist->id, TM_LIBRARY_LIST, &list);
                }
                for (const Parameter& parameter : description->parameters()) {
                    const int32_t enabled = node->is_parameter_enabled(parameter.id);
                    if (enabled != 0 && enabled != 1) {
                        outcome.faults.push_back("is_parameter_enabled answered " +
                                                 std::to_string(enabled) + " for " +
                                                 parameter.name);
                    }
                }
            }
            node->prepare(7);

            fail_at(Moment::shading);
            ShadingPoint point;
            for (int i = 0; i < 4; ++i) {
                place_point(point, static_cast<float>(i), 0.0f, 1.0f);
                float colour[3] = {-1.0f, -1.0f, -1.0f};
                node->shade(&point.input, colour);
                if (!finite_colour(colour)) {
                    outcome.faults.push_back("a shaded point came out " + colour_text(colour));
                }
            }
        }
        fail_at(Moment::tear_down);
        node.reset();
        host.set_render_backend(nullptr);
    }
    fail_at(Moment::end);
    std::vector<std::string> left = session.finish();
    // finish() keeps the journal, which tells whether the operation was called while it failed.
    outcome.called = failed_calls(host) != 0;
    for (const std::string& line : left) {
        if (is_reported_misuse(line)) outcome.faults.push_back(line);
    }
    return outcome;
}

// What the life under the injection did that the fault-free life did not: a fault of the module's
// own, whatever the host does, is another group's to report.
void report(const Injection& injection, const LifeOutcome& outcome,
            const std::vector<std::string>& baseline, Findings& findings) {
    for (const std::string& fault : outcome.faults) {
        if (std::find(baseline.begin(), baseline.end(), fault) == baseline.end()) {
            findings.fail(injection.what + ": " + fault);
        }
    }
}

void every_operation(const ValidationSettings& settings, const std::vector<std::string>& baseline,
                     Findings& findings) {
    for (const OperationInfo& info : all_operations()) {
        if (!has_failure_answer(info)) continue;
        for (int m = 0; m < static_cast<int>(Moment::count); ++m) {
            Injection injection;
            injection.operation = &info;
            injection.moment = static_cast<Moment>(m);
            injection.what =
                std::string(info.name) + " failed during " + moment_name(injection.moment);
            const LifeOutcome outcome = hostile_life(settings, injection);
            report(injection, outcome, baseline, findings);
            if (outcome.called) findings.count("operation moments");
            findings.count("lives");
        }
    }
}

// The library changes, as functions a PrepareHost can apply. A short table serves offsets up to
// its bound only; the module must not call past it.
template <int32_t Library>
void without_library(StandInHost& host) {
    host.libraries().remove(Library);
}
template <int32_t Bound>
void description_bound(StandInHost& host) {
    host.description_library().table().header.bound = Bound;
}
template <int32_t Bound>
void list_bound(StandInHost& host) {
    host.list_library().table().header.bound = Bound;
}
void no_desclib_register(StandInHost& host) {
    host.description_library().table().desclib_register = nullptr;
}
void no_desclib_get_id(StandInHost& host) {
    host.description_library().table().desclib_get_id = nullptr;
}
void no_listlib_count(StandInHost& host) { host.list_library().table().listlib_count = nullptr; }
void no_listlib_build(StandInHost& host) { host.list_library().table().listlib_build = nullptr; }
void no_listlib_contains(StandInHost& host) {
    host.list_library().table().listlib_contains = nullptr;
}
void no_listlib_free(StandInHost& host) { host.list_library().table().listlib_free = nullptr; }

void every_library_change(const ValidationSettings& settings,
                          const std::vector<std::string>& baseline, Findings& findings) {
    struct Change {
        const char* what;
        void (*change)(StandInHost&);
    };
    const Change changes[] = {
        {"no description library", without_library<TM_LIBRARY_DESCRIPTION>},
        {"no list library", without_library<TM_LIBRARY_LIST>},
        {"a description library of bound INT32_MIN", description_bound<INT32_MIN>},
        {"a description library of bound 0", description_bound<0>},
        {"a description library of bound 4", description_bound<TM_DESCLIB_REGISTER_OFFSET - 4>},
        {"a description library of bound 108", description_bound<TM_DESCLIB_GET_ID_OFFSET - 4>},
        {"a list library of bound INT32_MIN", list_bound<INT32_MIN>},
        {"a list library of bound 0", list_bound<0>},
        {"a list library of bound 144", list_bound<TM_LISTLIB_COUNT_OFFSET - 4>},
        {"a list library of bound 156", list_bound<TM_LISTLIB_BUILD_OFFSET - 4>},
        {"a list library of bound 160", list_bound<TM_LISTLIB_CONTAINS_OFFSET - 4>},
        {"a list library of bound 172", list_bound<TM_LISTLIB_FREE_OFFSET - 4>},
        {"desclib_register null", no_desclib_register},
        {"desclib_get_id null", no_desclib_get_id},
        {"listlib_count null", no_listlib_count},
        {"listlib_build null", no_listlib_build},
        {"listlib_contains null", no_listlib_contains},
        {"listlib_free null", no_listlib_free},
    };
    for (const Change& change : changes) {
        Injection injection;
        injection.what = change.what;
        injection.change_host = change.change;
        report(injection, hostile_life(settings, injection), baseline, findings);
        findings.count("library changes");
    }
}

}  // namespace

GroupVerdict validate_host_faults(const ValidationSettings& settings) {
    Findings findings;
    // One pass finds every operation and moment; higher levels repeat it, since a module may
    // behave differently on its second life within a process.
    const long passes = settings.level > 5 ? scaled(settings, 1) : 1;
    const Injection nothing;
    const std::vector<std::string> baseline = hostile_life(settings, nothing).faults;
    for (long pass = 0; pass < passes; ++pass) {
        every_operation(settings, baseline, findings);
        every_library_change(settings, baseline, findings);
    }
    return findings.verdict();
}

}  // namespace tmhost
