// The records a renderer lends for each shaded point, made hostile: a null input or context, a
// null shaded object, light counts from INT32_MIN to tens of thousands, null light records, flag
// tables of every size with object indices on and past their ends, NaN and infinite points and
// normals, and a light that answers NaN, infinite, negative or huge colours. Every record and
// table lies against an inaccessible page, so a read past its end faults at the first byte.
//
// The module must ask only for lights 0 .. count - 1, hand illuminate only records it was given,
// answer white without a context, and answer a finite, non-negative colour wherever every light
// answered a finite one.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/core/render_backend.h"
#include "host/core/shader_names.h"
#include "host/loading/guarded_block.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"

namespace tmhost {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// What the light answers in one case.
enum class LightAnswer { ordinary, negative, nan, infinite, minus_infinite, huge, unlit, count };

const char* answer_name(LightAnswer answer) {
    switch (answer) {
    case LightAnswer::ordinary:
        return "ordinary colours";
    case LightAnswer::negative:
        return "negative colours";
    case LightAnswer::nan:
        return "NaN colours";
    case LightAnswer::infinite:
        return "infinite colours";
    case LightAnswer::minus_infinite:
        return "minus infinite colours";
    case LightAnswer::huge:
        return "colours of FLT_MAX";
    case LightAnswer::unlit:
        return "no light (answer 0, the colour garbage)";
    case LightAnswer::count:
        break;
    }
    return "?";
}

bool answer_is_finite(LightAnswer answer) {
    return answer == LightAnswer::ordinary || answer == LightAnswer::negative ||
           answer == LightAnswer::unlit;
}

// One case's records, each in a block of its own against a guard page.
struct HostileCase {
    std::string what;
    bool null_input = false;
    bool null_context = false;
    bool null_object = false;
    float point[3] = {0.0f, 0.0f, 0.0f};
    float normal[3] = {0.0f, 1.0f, 0.0f};
    uint32_t object_reference = 1;
    int32_t object_index = 0;
    int32_t light_count = 1;
    int records = 1;             // distinct light records; index i gets record i % records
    bool null_records = false;   // every other index answers null
    std::size_t flag_bytes = 0;  // the flag table's size; 0 with flags: an empty table
    bool has_flags = false;
    int32_t flag_count = 0;  // what the record claims, never more than flag_bytes
    LightAnswer answer = LightAnswer::ordinary;
    int32_t samples = 8;
    int32_t mode = 0;
};

class HostileRenderer : public RenderBackend {
public:
    HostileRenderer(const HostileCase& c, Findings& findings) : case_(c), findings_(findings) {
        for (int i = 0; i < c.records; ++i) {
            records_.emplace_back(sizeof(LightRecord));
            LightRecord* record = records_.back().as<LightRecord>();
            record->scene_object = reinterpret_cast<SceneObjectHandle>(0x1000 + 16 * i);
            if (c.has_flags) {
                flags_.emplace_back(c.flag_bytes);
                auto* bytes = flags_.back().as<uint8_t>();
                for (std::size_t b = 0; b < c.flag_bytes; ++b) {
                    bytes[b] = static_cast<uint8_t>((b * 7 + static_cast<std::size_t>(i)) % 4);
                }
                record->object_flags = bytes;
                record->object_flag_count = c.flag_count;
            }
        }
    }

    void expect_context(RenderContext* context) { context_ = context; }
    bool all_finite() const { return !non_finite_answered_; }

    int32_t illuminate(RenderContext* context, LightRecord* light, float colour_out[3], float*,
                       const float point[3], float*, int32_t, int32_t) override {
        calls_ += 1;
        if (context != context_)
            violation("render_illuminate got another context than the point's");
        if (!is_ours(light)) violation("render_illuminate got a light record never handed out");
        if (colour_out == nullptr || point == nullptr) {
            violation("render_illuminate got a null colour or point");
            return 0;
        }
        volatile float touched = point[0] + point[1] + point[2];
        (void)touched;
        float value = 0.5f;
        int32_t lit = 1;
        switch (case_.answer) {
        case LightAnswer::ordinary:
            value = 0.25f + 0.125f * static_cast<float>(calls_ % 8);
            break;
        case LightAnswer::negative:
            value = -3.0f;
            break;
        case LightAnswer::nan:
            value = kNaN;
            break;
        case LightAnswer::infinite:
            value = kInfinity;
            break;
        case LightAnswer::minus_infinite:
            value = -kInfinity;
            break;
        case LightAnswer::huge:
            value = FLT_MAX;
            break;
        case LightAnswer::unlit:
            value = kNaN;  // "may hold anything": the module must not use it
            lit = 0;
            break;
        case LightAnswer::count:
            break;
        }
        colour_out[0] = colour_out[1] = colour_out[2] = value;
        if (lit != 0 && !std::isfinite(value)) non_finite_answered_ = true;
        return lit;
    }

    LightRecord* get_light(RenderContext* context, int32_t index) override {
        if (context != context_) violation("render_get_light got another context than the point's");
        if (index < 0 || index >= case_.light_count) {
            violation("render_get_light asked for light " + std::to_string(index) +
                      " of a count of " + std::to_string(case_.light_count));
            return nullptr;
        }
        if (case_.null_records && index % 2 == 1) return nullptr;
        return records_[static_cast<std::size_t>(index % case_.records)].as<LightRecord>();
    }

    int32_t light_count(RenderContext* context) override {
        if (context != context_)
            violation("render_light_count got another context than the point's");
        return case_.light_count;
    }

private:
    bool is_ours(const LightRecord* light) const {
        for (const GuardedBlock& block : records_) {
            if (block.as<LightRecord>() == light) return true;
        }
        return false;
    }

    // A module that asks beyond the count may be in a loop of two billion calls: the verdict goes
    // to the parent at once when it can.
    void violation(const std::string& what) {
        if (violations_++ != 0) return;
        findings_.fail(case_.what + ": " + what);
        deliver_verdict_now(findings_.verdict());
    }

    const HostileCase& case_;
    Findings& findings_;
    std::vector<GuardedBlock> records_;
    std::vector<GuardedBlock> flags_;
    RenderContext* context_ = nullptr;
    long calls_ = 0;
    long violations_ = 0;
    bool non_finite_answered_ = false;
};

class CaseMaker {
public:
    CaseMaker(uint32_t seed, long large_count) : engine_(seed), large_count_(large_count) {}

    HostileCase next(long number) {
        HostileCase c;
        c.what = "case " + std::to_string(number);
        c.null_input = pick(40) == 0;
        c.null_context = !c.null_input && pick(30) == 0;
        c.null_object = pick(5) == 0;
        for (int k = 0; k < 3; ++k) {
            c.point[k] = real();
            c.normal[k] = real();
        }
        static const uint32_t kReferences[] = {0, 1, 0xFFFFFFFFu};
        c.object_reference = kReferences[pick(3)];
        static const std::size_t kFlagBytes[] = {0, 1, 7, 4096};
        c.has_flags = pick(4) != 0;
        c.flag_bytes = pick(60) == 0 ? (1u << 20) : kFlagBytes[pick(4)];
        const int32_t bytes = static_cast<int32_t>(c.flag_bytes);
        const int32_t flag_counts[] = {bytes, bytes, 0, -1, INT32_MIN, bytes > 0 ? bytes - 1 : 0};
        c.flag_count = flag_counts[pick(6)];
        const int32_t indices[] = {0,         -1,    INT32_MIN, INT32_MAX,
                                   bytes - 1, bytes, bytes + 1, static_cast<int32_t>(pick(8))};
        c.object_index = indices[pick(8)];
        const int32_t counts[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, 2, 3, 17, 1000};
        c.light_count = pick(25) == 0 ? static_cast<int32_t>(large_count_) : counts[pick(9)];
        c.records = 1 + static_cast<int>(pick(3));
        c.null_records = pick(4) == 0;
        c.answer = static_cast<LightAnswer>(pick(static_cast<uint32_t>(LightAnswer::count)));
        static const int32_t kSamples[] = {1, 2, 8, 16};
        c.samples = c.light_count > 1000 ? 2 : kSamples[pick(4)];
        c.mode = static_cast<int32_t>(pick(2));
        return c;
    }

private:
    uint32_t pick(uint32_t n) { return static_cast<uint32_t>(engine_()) % n; }
    float real() {
        static const float kReals[] = {kNaN,    kInfinity, -kInfinity,
                                       FLT_MAX, -FLT_MAX,  std::numeric_limits<float>::denorm_min(),
                                       0.0f,    -0.0f};
        const uint32_t which = pick(16);
        if (which < 8) return kReals[which];
        return static_cast<float>(static_cast<int32_t>(engine_() % 2001) - 1000) / 10.0f;
    }

    std::mt19937 engine_;
    long large_count_;
};

std::string record_text(const HostileCase& c) {
    std::string text = c.what + " (";
    if (c.null_input) return text + "null shading input)";
    if (c.null_context) return text + "null context)";
    text += "point " + colour_text(c.point) + ", normal " + colour_text(c.normal);
    text += c.null_object ? ", no shaded object"
                          : ", object reference " + std::to_string(c.object_reference) +
                                ", index " + std::to_string(c.object_index);
    text += ", " + std::to_string(c.light_count) + " lights";
    if (c.has_flags) {
        text += ", flag tables of " + std::to_string(c.flag_bytes) + " bytes claiming " +
                std::to_string(c.flag_count);
    }
    text +=
        std::string(", ") + answer_name(c.answer) + ", samples " + std::to_string(c.samples) + ")";
    return text;
}

void run_case(ModuleSession& session, const HostileCase& c, int32_t samples_id, int32_t mode_id,
              Findings& findings) {
    StandInHost& host = session.host();
    HostileCase described = c;
    described.what = record_text(c);
    note_progress(described.what);
    HostileRenderer renderer(described, findings);
    host.set_render_backend(&renderer);
    ValidatedNode node(host, session.shader());
    if (!node.made()) {
        findings.fail(described.what + ": create answered no node");
        host.set_render_backend(nullptr);
        return;
    }
    node.init_defaults();
    node.container().set_long(samples_id, c.samples);
    node.container().set_long(mode_id, c.mode);
    node.prepare();

    GuardedBlock input(sizeof(ShadingInput));
    GuardedBlock context(sizeof(RenderContext));
    GuardedBlock object(sizeof(ShadedObjectRecord));
    auto* record = context.as<RenderContext>();
    std::memcpy(record->p, c.point, sizeof c.point);
    std::memcpy(record->nv, c.normal, sizeof c.normal);
    record->shaded_object = c.null_object ? nullptr : object.as<ShadedObjectRecord>();
    object.as<ShadedObjectRecord>()->object_reference = c.object_reference;
    object.as<ShadedObjectRecord>()->object_index = c.object_index;
    input.as<ShadingInput>()->context = c.null_context ? nullptr : record;
    renderer.expect_context(record);

    float colour[3] = {-7.0f, -7.0f, -7.0f};
    node.shade(c.null_input ? nullptr : input.as<ShadingInput>(), colour);
    if (c.null_input || c.null_context) {
        if (colour[0] != 1.0f || colour[1] != 1.0f || colour[2] != 1.0f) {
            findings.fail(described.what + ": shaded " + colour_text(colour) +
                          " without a context, white expected");
        }
    } else if (answer_is_finite(c.answer) && renderer.all_finite() && !finite_colour(colour)) {
        findings.fail(described.what + ": shaded " + colour_text(colour) + " from finite light");
    }
    node.release();
    host.set_render_backend(nullptr);
    check_host_rules(host, findings, described.what);
}

}  // namespace

GroupVerdict validate_render_records(const ValidationSettings& settings) {
    Findings findings;
    auto session = start_module(settings);
    const int32_t samples_id = parameter_id(session->description(), shader_names::kSamples);
    const int32_t mode_id = parameter_id(session->description(), shader_names::kMode);
    // The largest light count stays the same at every level: each of its points asks the host
    // tens of thousands of times already.
    CaseMaker maker(settings.seed ^ 0x52454344u, 20000);
    const long cases = scaled(settings, 6000);
    for (long i = 0; i < cases && findings.failure_count() < 5; ++i) {
        run_case(*session, maker.next(i + 1), samples_id, mode_id, findings);
        findings.count("points");
    }
    finish_module(*session, findings, "at the end");
    return findings.verdict();
}

}  // namespace tmhost
