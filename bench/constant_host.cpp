#include "bench/constant_host.h"

#include <cstring>

namespace tonemix_bench {

namespace {

struct ConstantScene {
    int32_t light_count = 0;
    LightRecord records[kMaxLights];
    unsigned char scene_objects[kMaxLights];  // only their addresses are used

    ConstantScene() {
        std::memset(records, 0, sizeof records);
        for (int32_t i = 0; i < kMaxLights; ++i)
            records[i].scene_object = reinterpret_cast<SceneObjectHandle>(&scene_objects[i]);
    }
};

ConstantScene scene;
CallCounts counts;

int32_t TM_CDECL constant_light_count(RenderContext*) { return scene.light_count; }

LightRecord* TM_CDECL constant_get_light(RenderContext*, int32_t index) {
    return &scene.records[index];
}

int32_t TM_CDECL constant_illuminate(RenderContext*, LightRecord*, float colour_out[3], float*,
                                     const float*, float*, int32_t, int32_t) {
    colour_out[0] = 0.25f;
    colour_out[1] = 0.5f;
    colour_out[2] = 0.125f;
    return 1;
}

int32_t TM_CDECL constant_contains(ListHandle, SceneObjectHandle) { return 0; }

int32_t TM_CDECL counting_light_count(RenderContext* context) {
    ++counts.light_count;
    return constant_light_count(context);
}

LightRecord* TM_CDECL counting_get_light(RenderContext* context, int32_t index) {
    ++counts.get_light;
    return constant_get_light(context, index);
}

int32_t TM_CDECL counting_illuminate(RenderContext* context, LightRecord* light,
                                     float colour_out[3], float* work, const float* point,
                                     float* work_again, int32_t shadow_flag, int32_t zero) {
    ++counts.illuminate;
    return constant_illuminate(context, light, colour_out, work, point, work_again, shadow_flag,
                               zero);
}

int32_t TM_CDECL counting_contains(ListHandle handle, SceneObjectHandle scene_object) {
    ++counts.contains;
    return constant_contains(handle, scene_object);
}

}  // namespace

void set_light_count(int32_t count) { scene.light_count = count; }

void install_constant_slots(tmhost::StandInHost& host, bool counting) {
    HostRender& render = host.tables().render;
    render.light_count = counting ? counting_light_count : constant_light_count;
    render.get_light = counting ? counting_get_light : constant_get_light;
    render.illuminate = counting ? counting_illuminate : constant_illuminate;
    host.list_library().table().listlib_contains = counting ? counting_contains : constant_contains;
}

CallCounts& call_counts() { return counts; }

}  // namespace tonemix_bench
