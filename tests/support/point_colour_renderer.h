// A renderer of one light whose colour is the point it is asked about: a colour tells the sample
// points, and so the draws, that made it. Keeps nothing: any number of threads may ask at once.
#ifndef TONEMIX_POINT_COLOUR_RENDERER_H
#define TONEMIX_POINT_COLOUR_RENDERER_H

#include "host/core/render_backend.h"
#include "host_api.h"

namespace tonemix_test {

class PointColourRenderer : public tmhost::RenderBackend {
public:
    int32_t illuminate(RenderContext*, LightRecord*, float colour_out[3], float*,
                       const float point[3], float*, int32_t, int32_t) override {
        for (int k = 0; k < 3; ++k) colour_out[k] = point[k];
        return 1;
    }
    LightRecord* get_light(RenderContext*, int32_t) override { return &light_; }
    int32_t light_count(RenderContext*) override { return 1; }

private:
    LightRecord light_{};
};

}  // namespace tonemix_test

#endif
