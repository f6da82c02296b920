// Parameter containers as a host may hand them over: ids absent, values of every other type,
// extremes, NaN and infinities, unknown ids beside the module's, a light list that is null or of
// another type, and a container whose find_index answers -2. Each goes through init_defaults,
// is_parameter_enabled, prepare_render and shading; the module must answer within its table,
// shade finite colours, give back every light list and break no host rule.
//
// A count the description bounds (samples) is shaded only within its bounds: beyond them the
// module is asked for that much work, which is no fault of its own.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "host/core/list_library.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"

namespace tmhost {

namespace {

class Draws {
public:
    explicit Draws(uint32_t seed) : engine_(seed) {}
    uint32_t next() { return static_cast<uint32_t>(engine_()); }
    uint32_t below(uint32_t n) { return next() % n; }
    bool chance(uint32_t one_in) { return below(one_in) == 0; }

    float real() {
        static const float kReals[] = {
            std::numeric_limits<float>::quiet_NaN(),
            -std::numeric_limits<float>::quiet_NaN(),
            std::numeric_limits<float>::infinity(),
            -std::numeric_limits<float>::infinity(),
            FLT_MAX,
            -FLT_MAX,
            FLT_MIN,
            std::numeric_limits<float>::denorm_min(),
            0.0f,
            -0.0f,
            1.0f,
            -1.0f,
            1e30f,
            -1e30f,
            0.5f,
        };
        const uint32_t pick = below(sizeof kReals / sizeof kReals[0] + 3);
        if (pick < sizeof kReals / sizeof kReals[0]) return kReals[pick];
        return static_cast<float>(static_cast<int32_t>(next())) / 20000.0f;
    }
    int32_t word() {
        static const int32_t kWords[] = {INT32_MIN, INT32_MAX, -1, 0, 1, 2, 3};
        const uint32_t pick = below(sizeof kWords / sizeof kWords[0] + 2);
        if (pick < sizeof kWords / sizeof kWords[0]) return kWords[pick];
        return static_cast<int32_t>(next());
    }

private:
    std::mt19937 engine_;
};

int32_t TM_CDECL find_index_minus_two(HostContainerHandle, int32_t) { return -2; }

class ParameterCases {
public:
    ParameterCases(const ValidationSettings& settings, Findings& findings)
        : settings_(settings),
          findings_(findings),
          draws_(settings.seed ^ 0x50415241u),
          session_(start_module(settings)),
          host_(session_->host()),
          lights_(make_lights(2, [](int32_t index, const float*, bool, float colour[3]) {
              colour[0] = colour[1] = colour[2] = 0.5f + static_cast<float>(index);
              return true;
          })) {
        host_.set_render_backend(lights_.get());
        lists_[0].scene_objects = {lights_->record(0).scene_object};
        lists_[1].scene_objects = {lights_->record(0).scene_object,
                                   lights_->record(1).scene_object};
    }
    ~ParameterCases() { host_.set_render_backend(nullptr); }

    void run() {
        const long cases = scaled(settings_, 2000);
        lists_kept_anyway_ = lists_kept_with_defaults();
        baseline_allocations_ = host_.memory().live_count();
        for (long i = 0; i < cases && findings_.failure_count() < 5; ++i) {
            const std::string what = "case " + std::to_string(i + 1);
            one_case(what);
            if (host_.memory().live_count() != baseline_allocations_) {
                findings_.fail(what + ": the node's memory was not given back (" +
                               std::to_string(host_.memory().live_count()) + " blocks live, " +
                               std::to_string(baseline_allocations_) + " before)");
                baseline_allocations_ = host_.memory().live_count();
            }
            findings_.count("containers");
        }
        check_host_rules(host_, findings_, "parameters");
        std::vector<std::string> expected_anyway;
        if (lists_kept_anyway_) {
            for (const std::string& line : host_.left_behind().lines()) {
                if (line.find("light list") != std::string::npos) expected_anyway.push_back(line);
            }
        }
        finish_module(*session_, findings_, "at the end", expected_anyway);
    }

private:
    // Whether the module keeps a light list after release_render even with its own defaults: then
    // no value is to blame, and the nodes group reports it.
    bool lists_kept_with_defaults() {
        ValidatedNode node(host_, session_->shader());
        if (!node.made()) return false;
        node.init_defaults();
        if (const Parameter* lights = session_->description().find(ParameterType::light_list)) {
            node.container().set_custom(lights->id, TM_LIBRARY_LIST, &lists_[1]);
        }
        node.prepare();
        node.release();
        return host_.list_library().live_count() != 0;
    }

    void scramble(Container& container) {
        const Description& description = session_->description();
        std::vector<int32_t> ids;
        for (const Parameter& parameter : description.parameters()) ids.push_back(parameter.id);
        ids.push_back(0);
        ids.push_back(INT32_MIN);
        ids.push_back(static_cast<int32_t>(draws_.next()));
        for (int32_t id : ids) {
            switch (draws_.below(7)) {
            case 0:
                container.remove(id);
                break;
            case 1:
                container.set_real(id, draws_.real());
                break;
            case 2:
                container.set_bool(id, draws_.word());
                break;
            case 3:
                container.set_long(id, draws_.word());
                break;
            case 4:
                container.set_custom(id, TM_LIBRARY_LIST, nullptr);
                break;
            case 5:
                container.set_custom(id, draws_.chance(2) ? TM_LIBRARY_LIST : 12345,
                                     &lists_[draws_.below(3)]);
                break;
            default:
                break;  // left as it is
            }
        }
    }

    // False when a bounded count is outside its description's bounds.
    bool within_work_bounds(const Container& container) const {
        for (const Parameter& parameter : session_->description().parameters()) {
            if (parameter.type != ParameterType::integer || !parameter.max) continue;
            // What the module reads: the host lets longs and bools read each other.
            const double value = container.get_long(parameter.id);
            if (value > *parameter.max || (parameter.min && value < *parameter.min)) return false;
        }
        return true;
    }

    void one_case(const std::string& what) {
        const bool minus_two = draws_.chance(6);
        ValidatedNode node(host_, session_->shader());
        if (!node.made()) {
            findings_.fail(what + ": create answered no node");
            return;
        }
        switch (draws_.below(3)) {
        case 0:
            node.init_defaults();
            scramble(node.container());
            break;
        case 1:
            scramble(node.container());
            node.init_defaults();
            break;
        default:
            scramble(node.container());
            break;
        }
        const std::vector<std::string> contents = node.container().dump();
        note_progress(what + " [" + std::to_string(contents.size()) + " values]");
        const auto where = [&]() {
            std::string text = what + (minus_two ? " (find_index answering -2)" : "") + " [";
            for (std::size_t i = 0; i < contents.size(); ++i) {
                text += (i != 0 ? ", " : "") + contents[i];
            }
            return text + "]";
        };
        if (minus_two) host_.tables().container.find_index = find_index_minus_two;

        std::vector<int32_t> asked = {0, -1, INT32_MIN, INT32_MAX};
        for (const Parameter& parameter : session_->description().parameters()) {
            asked.push_back(parameter.id);
        }
        for (int32_t id : asked) {
            const int32_t enabled = node.is_parameter_enabled(id);
            if (enabled != 0 && enabled != 1) {
                findings_.fail(where() + ": is_parameter_enabled(" + std::to_string(id) +
                               ") answered " + std::to_string(enabled));
            }
        }
        const int32_t prepared = node.prepare(static_cast<int32_t>(draws_.next()));
        if (prepared != 0) {
            findings_.fail(where() + ": prepare_render answered " + std::to_string(prepared));
        }
        // The module read what it needs during prepare_render; the container goes back to the
        // host's own behaviour for shading, which reads nothing of it.
        host_.restore("container_find_index");
        if (within_work_bounds(node.container())) {
            ShadingPoint point;
            for (int i = 0; i < 3; ++i) {
                place_point(point, static_cast<float>(i) * 3.0f, 1.0f, -2.0f);
                float colour[3] = {-1.0f, -1.0f, -1.0f};
                node.shade(&point.input, colour);
                if (!finite_colour(colour)) {
                    findings_.fail(where() + ": shaded " + colour_text(colour));
                    break;
                }
            }
            findings_.count("shaded");
        }
        node.release();
        if (!lists_kept_anyway_ && host_.list_library().live_count() != 0) {
            findings_.fail(where() + ": release_render left " +
                           std::to_string(host_.list_library().live_count()) + " light lists");
        }
        check_host_rules(host_, findings_, where());
    }

    const ValidationSettings& settings_;
    Findings& findings_;
    Draws draws_;
    std::unique_ptr<ModuleSession> session_;
    StandInHost& host_;
    std::unique_ptr<PointLightRenderer> lights_;
    LightListData lists_[3];
    std::size_t baseline_allocations_ = 0;
    bool lists_kept_anyway_ = false;
};

}  // namespace

GroupVerdict validate_parameters(const ValidationSettings& settings) {
    Findings findings;
    ParameterCases cases(settings, findings);
    cases.run();
    return findings.verdict();
}

}  // namespace tmhost
