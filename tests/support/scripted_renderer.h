// A renderer whose lights answer fixed colours, and which keeps every question the shader asks.
#ifndef TONEMIX_SCRIPTED_RENDERER_H
#define TONEMIX_SCRIPTED_RENDERER_H

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "host/core/point_light_renderer.h"
#include "host/core/render_backend.h"
#include "host_api.h"

namespace tonemix_test {

struct IlluminateCall {
    int light = -1;
    std::array<float, 3> point{};
    int32_t shadow_flag = -1;
    int32_t zero = -1;
    bool work_twice = false;
    std::array<float, 3> work_on_entry{};
    const float* work = nullptr;
};

class ScriptedRenderer : public tmhost::RenderBackend {
public:
    struct Light {
        std::array<float, 3> colour{};
        int32_t answer = 1;  // what render_illuminate answers for this light
        std::vector<uint8_t> flags;
        bool has_table = false;
    };

    explicit ScriptedRenderer(std::vector<Light> lights) : lights_(std::move(lights)) {
        records_.resize(lights_.size());
        for (std::size_t i = 0; i < lights_.size(); ++i) {
            LightRecord& record = records_[i];
            record.scene_object = reinterpret_cast<SceneObjectHandle>(&lights_[i]);
            record.object_flags = lights_[i].has_table ? lights_[i].flags.data() : nullptr;
            record.object_flag_count = static_cast<int32_t>(lights_[i].flags.size());
        }
    }

    int32_t illuminate(RenderContext*, LightRecord* light, float colour_out[3], float work[3],
                       const float point[3], float work_again[3], int32_t shadow_flag,
                       int32_t zero) override {
        int index = static_cast<int>(light - records_.data());
        IlluminateCall call;
        call.light = index;
        call.point = {point[0], point[1], point[2]};
        call.shadow_flag = shadow_flag;
        call.zero = zero;
        call.work_twice = work == work_again;
        call.work_on_entry = {work[0], work[1], work[2]};
        call.work = work;
        calls.push_back(call);
        work[0] = 99.0f;  // the shader never reads it
        const Light& l = lights_[index];
        if (l.answer == 0) return 0;
        colour_out[0] = l.colour[0];
        colour_out[1] = l.colour[1];
        colour_out[2] = l.colour[2];
        return l.answer;
    }
    LightRecord* get_light(RenderContext*, int32_t index) override {
        light_requests.push_back(index);
        if (index < 0 || index >= static_cast<int32_t>(records_.size())) return nullptr;
        if (null_lights.count(index) != 0) return nullptr;
        return &records_[index];
    }
    int32_t light_count(RenderContext*) override {
        count_requests += 1;
        return count_override.value_or(static_cast<int32_t>(records_.size()));
    }

    SceneObjectHandle scene_object(int index) {
        return reinterpret_cast<SceneObjectHandle>(&lights_[index]);
    }

    std::vector<IlluminateCall> calls;
    std::vector<int32_t> light_requests;
    int count_requests = 0;
    std::optional<int32_t> count_override;  // what light_count answers instead of the count
    std::set<int32_t> null_lights;

private:
    std::vector<Light> lights_;
    std::vector<LightRecord> records_;
};

// The stand-in host's shading point, placed where a test wants it.
struct TestShadingPoint : tmhost::ShadingPoint {
    TestShadingPoint(std::array<float, 3> p, std::array<float, 3> normal, int32_t index = 0,
                     uint32_t reference = 1) {
        set(p.data(), normal.data(), index, reference);
    }
};

}  // namespace tonemix_test

#endif
