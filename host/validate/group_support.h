// What every validation group uses: a collector of findings, a started module in a fresh host,
// one shader node driven through the registration record, and the host-rule check each group
// makes at its end.
#ifndef TMHOST_GROUP_SUPPORT_H
#define TMHOST_GROUP_SUPPORT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/core/point_light_renderer.h"
#include "host/loading/module_session.h"
#include "host/validate/validation.h"

namespace tmhost {

// Failures in the order found (the first few kept word for word, the rest counted) and the counts
// a group's line shows.
class Findings {
public:
    static constexpr std::size_t kKept = 12;

    void fail(std::string what);
    bool failed() const { return failures_ != 0; }
    long failure_count() const { return failures_; }
    // Adds to a named count; counts show in the order first named: "40 sequences, 10 loads".
    void count(const char* what, long n = 1);
    long counted(const char* what) const;
    // What the group left out on this machine, after the counts: "at most 8 threads ...".
    void limit(std::string what) { limits_.push_back(std::move(what)); }

    GroupVerdict verdict() const;

private:
    std::vector<std::string> kept_;
    long failures_ = 0;
    std::vector<std::pair<std::string, long>> counts_;
    std::vector<std::string> limits_;
};

// The module loaded into a fresh host and started, its Tonemix shader and description found and
// checked; the journal off. Throws ModuleError when the module cannot be used at all.
std::unique_ptr<ModuleSession> start_module(const ValidationSettings& settings,
                                            ModuleSession::PrepareHost prepare = nullptr);

// The misuses the host refused since the log was last cleared, and calls that came while no host
// was active, as failures naming `when`; clears the log. An entry's stack use is left to the nodes
// group, which measures every entry itself: the others would only repeat it.
void check_host_rules(StandInHost& host, Findings& findings, const std::string& when);
// Ends and unloads the module: whatever it left behind, and an end message answered otherwise,
// as failures naming `when`, but for lines in `expected_anyway` (what the group's own fault-free
// baseline left, another group's to report).
void finish_module(ModuleSession& session, Findings& findings, const std::string& when,
                   const std::vector<std::string>& expected_anyway = {});
// The misuse lines check_host_rules reports.
bool is_reported_misuse(const std::string& misuse);

// The parameter's id by its short name ("samples"); throws ModuleError when the description has
// none of that name.
int32_t parameter_id(const Description& description, const char* short_name);

// True when every channel is a finite number, and, for `non_negative`, none is below zero.
bool finite_colour(const float colour[3], bool non_negative = true);
std::string colour_text(const float colour[3]);

// One node of the shader with the host node that holds its parameters, from create to free.
class ValidatedNode {
public:
    // made() is false when the module makes no node; then nothing else may be called.
    ValidatedNode(StandInHost& host, const ShaderPlugin& shader);
    bool made() const { return node_ != nullptr; }
    ~ValidatedNode();
    ValidatedNode(const ValidatedNode&) = delete;
    ValidatedNode& operator=(const ValidatedNode&) = delete;

    void* node() const { return node_; }
    Node& host_node() const { return host_node_; }
    Container& container() const { return host_node_.container; }

    int32_t init_defaults();
    int32_t is_parameter_enabled(int32_t parameter_id);
    int32_t prepare(int32_t list_build_word = 0);
    void release();
    void shade(ShadingInput* input, float colour[3]) const;

private:
    StandInHost& host_;
    const ShaderPlugin& shader_;
    Node& host_node_;
    void* node_ = nullptr;
    bool prepared_ = false;
};

// `count` lights at fixed addresses whose colour at a point `light` gives; no object flags.
std::unique_ptr<PointLightRenderer> make_lights(int count, LightFunction light);

// A surface point with its normal facing up, ready to hand to compute_output.
void place_point(ShadingPoint& point, float x, float y, float z);

}  // namespace tmhost

#endif
