// The scene's point lights as the renderer's light source: what the tracer says a light delivers
// at a point, with shadows when the module asks for them and the light casts them.
#ifndef TMHOST_TRACER_LIGHT_SOURCE_H
#define TMHOST_TRACER_LIGHT_SOURCE_H

#include "host/core/point_light_renderer.h"
#include "host/scene/tracer.h"

namespace tmhost {

class TracerLightSource : public LightSource {
public:
    // The tracer must outlive the source.
    explicit TracerLightSource(const Tracer& tracer) : tracer_(tracer) {}

    bool illuminate(int32_t index, const float point[3], bool shadows,
                    float colour_out[3]) const override {
        return tracer_.illuminate(index, point, shadows, colour_out);
    }

private:
    const Tracer& tracer_;
};

}  // namespace tmhost

#endif
