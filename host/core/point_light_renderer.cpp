#include "host/core/point_light_renderer.h"

#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "host/core/handles.h"
#include "host/core/stand_in_host.h"

namespace tmhost {

namespace {

void report(const char* what) {
    // The backend has no host of its own: the render entries call it for the active one.
    if (StandInHost* host = StandInHost::active()) host->misuses().add(what);
}

}  // namespace

PointLightRenderer::PointLightRenderer(std::vector<PointLightEntry> lights, LightFunction light)
    : PointLightRenderer(std::move(lights), nullptr,
                         [](const void* held, int32_t index, const float point[3], bool shadows,
                            float colour_out[3]) {
                             return (*static_cast<const LightFunction*>(held))(index, point,
                                                                               shadows, colour_out);
                         }) {
    function_ = std::move(light);
    source_ = &function_;
}

PointLightRenderer::PointLightRenderer(std::vector<PointLightEntry> lights, const void* source,
                                       SourceCall call)
    : lights_(std::move(lights)), records_(lights_.size()), source_(source), call_(call) {
    for (std::size_t i = 0; i < lights_.size(); ++i) {
        LightRecord& record = records_[i];
        std::memset(&record, 0, sizeof record);
        const PointLightEntry& light = lights_[i];
        record.scene_object = handle_of<SceneObjectHandle>(light.scene_object);
        record.object_flags = light.object_flags.empty() ? nullptr : light.object_flags.data();
        record.object_flag_count = static_cast<int32_t>(light.object_flags.size());
    }
}

int32_t PointLightRenderer::index_of(const LightRecord* record) const {
    if (records_.empty() || record == nullptr) return -1;
    // Compared as addresses, never followed: the record comes from the module.
    const std::less<const LightRecord*> before;
    const LightRecord* first = records_.data();
    const LightRecord* end = first + records_.size();
    if (before(record, first) || !before(record, end)) return -1;
    const uintptr_t offset =
        reinterpret_cast<uintptr_t>(record) - reinterpret_cast<uintptr_t>(first);
    if (offset % sizeof(LightRecord) != 0) return -1;
    return static_cast<int32_t>(offset / sizeof(LightRecord));
}

int32_t PointLightRenderer::illuminate(RenderContext*, LightRecord* light, float colour_out[3],
                                       float*, const float point[3], float*, int32_t shadow_flag,
                                       int32_t) {
    const int32_t index = index_of(light);
    if (index < 0) {
        report("render_illuminate: not a light record of the renderer");
        return 0;
    }
    if (colour_out == nullptr || point == nullptr) {
        report("render_illuminate: null colour or point");
        return 0;
    }
    float colour[3] = {0.0f, 0.0f, 0.0f};
    if (!call_(source_, index, point, shadow_flag != 0, colour)) return 0;
    colour_out[0] = colour[0];
    colour_out[1] = colour[1];
    colour_out[2] = colour[2];
    return 1;
}

LightRecord* PointLightRenderer::get_light(RenderContext*, int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= records_.size()) return nullptr;
    return &records_[static_cast<std::size_t>(index)];
}

int32_t PointLightRenderer::light_count(RenderContext*) {
    return static_cast<int32_t>(records_.size());
}

ShadingPoint::ShadingPoint() {
    std::memset(&input, 0, sizeof input);
    std::memset(&context, 0, sizeof context);
    std::memset(&object, 0, sizeof object);
    input.context = &context;
    context.shaded_object = &object;
}

void ShadingPoint::set(const float p[3], const float normal[3], int32_t object_index,
                       uint32_t object_reference) {
    for (int k = 0; k < 3; ++k) {
        context.p[k] = p[k];
        context.nv[k] = normal[k];
    }
    object.object_index = object_index;
    object.object_reference = object_reference;
}

}  // namespace tmhost
