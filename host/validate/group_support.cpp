#include "host/validate/group_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "host/core/text_format.h"

namespace tmhost {

void Findings::fail(std::string what) {
    if (kept_.size() < kKept) kept_.push_back(std::move(what));
    failures_ += 1;
}

void Findings::count(const char* what, long n) {
    for (auto& entry : counts_) {
        if (entry.first == what) {
            entry.second += n;
            return;
        }
    }
    counts_.emplace_back(what, n);
}

long Findings::counted(const char* what) const {
    for (const auto& entry : counts_) {
        if (entry.first == what) return entry.second;
    }
    return 0;
}

GroupVerdict Findings::verdict() const {
    GroupVerdict verdict;
    verdict.passed = failures_ == 0;
    for (const auto& entry : counts_) {
        if (!verdict.counts.empty()) verdict.counts += ", ";
        verdict.counts += std::to_string(entry.second) + " " + entry.first;
    }
    for (const std::string& limit : limits_) {
        verdict.counts += (verdict.counts.empty() ? "" : "; ") + limit;
    }
    verdict.failures = kept_;
    if (failures_ > static_cast<long>(kept_.size())) {
        verdict.failures.push_back("and " + std::to_string(failures_ - kept_.size()) + " more");
    }
    return verdict;
}

std::unique_ptr<ModuleSession> start_module(const ValidationSettings& settings,
                                            ModuleSession::PrepareHost prepare) {
    auto session = std::make_unique<ModuleSession>(settings.module_path, prepare);
    session->require_shader(ModuleSession::Trust::checked);
    session->host().journal().set_enabled(false);
    session->host().journal().clear();
    return session;
}

void check_host_rules(StandInHost& host, Findings& findings, const std::string& when) {
    static uint32_t calls_without_host_seen = 0;
    for (const std::string& misuse : host.misuses().messages()) {
        if (is_reported_misuse(misuse))
            findings.fail(when + ": the host refused a call: " + misuse);
    }
    host.misuses().clear();
    const uint32_t without = StandInHost::calls_without_host();
    if (without != calls_without_host_seen) {
        findings.fail(when + ": " + std::to_string(without - calls_without_host_seen) +
                      " host calls while no host was active");
        calls_without_host_seen = without;
    }
}

bool is_reported_misuse(const std::string& misuse) {
    return misuse.find(" bytes of arguments, ") == std::string::npos;
}

void finish_module(ModuleSession& session, Findings& findings, const std::string& when,
                   const std::vector<std::string>& expected_anyway) {
    for (const std::string& line : session.finish()) {
        if (!is_reported_misuse(line)) continue;
        if (std::find(expected_anyway.begin(), expected_anyway.end(), line) !=
            expected_anyway.end()) {
            continue;
        }
        findings.fail(when + ": " + line);
    }
}

int32_t parameter_id(const Description& description, const char* short_name) {
    const Parameter* parameter = description.find(std::string(short_name));
    if (parameter == nullptr) {
        throw ModuleError("the description " + description.name() + " has no parameter " +
                          quoted(short_name));
    }
    return parameter->id;
}

bool finite_colour(const float colour[3], bool non_negative) {
    for (int k = 0; k < 3; ++k) {
        if (!std::isfinite(colour[k])) return false;
        if (non_negative && colour[k] < 0.0f) return false;
    }
    return true;
}

std::string colour_text(const float colour[3]) {
    char text[96];
    std::snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", colour[0], colour[1], colour[2]);
    return text;
}

ValidatedNode::ValidatedNode(StandInHost& host, const ShaderPlugin& shader)
    : host_(host), shader_(shader), host_node_(host.containers().make_node()) {
    node_ = shader_.create();
}

ValidatedNode::~ValidatedNode() {
    if (node_ != nullptr) {
        release();
        shader_.free_node(node_);
    }
    host_.containers().destroy(host_node_);
}

int32_t ValidatedNode::init_defaults() { return shader_.init_defaults(node_, host_node_); }

int32_t ValidatedNode::is_parameter_enabled(int32_t parameter_id) {
    DescriptionIdHandle id = host_.description_library().description_id(parameter_id);
    return shader_.is_parameter_enabled(node_, host_node_, id);
}

int32_t ValidatedNode::prepare(int32_t list_build_word) {
    release();
    RenderSetup setup{};
    setup.list_build_word = list_build_word;
    prepared_ = true;
    return shader_.prepare_render(node_, host_node_, &setup);
}

void ValidatedNode::release() {
    if (!prepared_) return;
    prepared_ = false;
    shader_.release_render(node_);
}

void ValidatedNode::shade(ShadingInput* input, float colour[3]) const {
    shader_.compute_output(node_, input, colour);
}

std::unique_ptr<PointLightRenderer> make_lights(int count, LightFunction light) {
    std::vector<PointLightEntry> entries(static_cast<std::size_t>(count));
    // Distinct, never followed: what a light list is asked about.
    static char scene_objects[64];
    for (int i = 0; i < count; ++i)
        entries[static_cast<std::size_t>(i)].scene_object = &scene_objects[i % 64];
    return std::make_unique<PointLightRenderer>(std::move(entries), std::move(light));
}

void place_point(ShadingPoint& point, float x, float y, float z) {
    const float p[3] = {x, y, z};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    point.set(p, up, 0, 0);
}

}  // namespace tmhost
