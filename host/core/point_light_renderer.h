// The renderer behind the render sub-table for scenes of point lights, and the records one shaded
// point lends the module.
//
// The renderer holds one LightRecord per light, laid out as the module reads it, at addresses that
// stay put for the renderer's life. What a light delivers at a point, shadows included, is its
// light source's to say (the scene's tracer, or a source worked out by hand): the renderer only
// maps a record back to its light's index.
//
// Threads: after construction nothing changes, so any number of threads may call illuminate,
// get_light and light_count at once. A ShadingPoint belongs to one thread.
#ifndef TMHOST_POINT_LIGHT_RENDERER_H
#define TMHOST_POINT_LIGHT_RENDERER_H

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "host/core/render_backend.h"
#include "host_api.h"

namespace tmhost {

// True with colour_out set when light `index` reaches point; `shadows` asks for the occlusion
// test. Called from several threads at once.
using LightFunction =
    std::function<bool(int32_t index, const float point[3], bool shadows, float colour_out[3])>;

struct PointLightEntry {
    void* scene_object = nullptr;       // what the light list is asked about
    std::vector<uint8_t> object_flags;  // one byte per object index; empty: the light has no table
};

class PointLightRenderer : public RenderBackend {
public:
    PointLightRenderer(std::vector<PointLightEntry> lights, LightFunction light);
    // Any source with that illuminate(index, point, shadows, colour_out) const; it must outlive
    // the renderer. Called straight, not through a LightFunction: a render asks it millions of
    // times.
    template <typename Source>
    PointLightRenderer(std::vector<PointLightEntry> lights, const Source& source)
        : PointLightRenderer(std::move(lights), &source,
                             [](const void* held, int32_t index, const float point[3], bool shadows,
                                float colour_out[3]) {
                                 return static_cast<const Source*>(held)->illuminate(
                                     index, point, shadows, colour_out);
                             }) {}
    PointLightRenderer(const PointLightRenderer&) = delete;
    PointLightRenderer& operator=(const PointLightRenderer&) = delete;

    // A record the renderer never handed out is reported as a misuse and reaches nothing.
    int32_t illuminate(RenderContext* context, LightRecord* light, float colour_out[3],
                       float work[3], const float point[3], float work_again[3],
                       int32_t shadow_flag, int32_t zero) override;
    LightRecord* get_light(RenderContext* context, int32_t index) override;  // null out of range
    int32_t light_count(RenderContext* context) override;

    // The light's index, or -1 for a record that is not one of this renderer's.
    int32_t index_of(const LightRecord* record) const;
    const LightRecord& record(int32_t index) const { return records_.at(index); }

private:
    using SourceCall = bool (*)(const void* source, int32_t index, const float point[3],
                                bool shadows, float colour_out[3]);
    PointLightRenderer(std::vector<PointLightEntry> lights, const void* source, SourceCall call);

    std::vector<PointLightEntry> lights_;
    std::vector<LightRecord> records_;  // sized once: the module keeps pointers into it
    LightFunction function_;            // when made from one
    const void* source_;                // what call_ is asked with
    SourceCall call_;
};

// Everything one shaded point lends the module: a ShadingInput whose context points at its
// RenderContext, whose shaded object points at its ShadedObjectRecord. Not copyable: the
// records point at each other.
struct ShadingPoint {
    ShadingInput input;
    RenderContext context;
    ShadedObjectRecord object;

    ShadingPoint();  // wires the pointers, zeroes everything else
    ShadingPoint(const ShadingPoint&) = delete;
    ShadingPoint& operator=(const ShadingPoint&) = delete;

    // object_reference 0: no light's object flags apply to this point.
    void set(const float p[3], const float normal[3], int32_t object_index,
             uint32_t object_reference);
};

}  // namespace tmhost

#endif
