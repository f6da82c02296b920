// Where the renderer plugs into the stand-in host.
//
// The render sub-table's three operations are journaled and then handed to the attached backend.
// With none attached they answer 0 / null and report a misuse, so a module test that reaches the
// renderer without setting one up says so instead of crashing.
#ifndef TMHOST_RENDER_BACKEND_H
#define TMHOST_RENDER_BACKEND_H

#include <cstdint>

#include "host_api.h"

namespace tmhost {

class RenderBackend {
public:
    virtual ~RenderBackend() = default;
    // Non-zero: colour_out holds the light's R, G, B at point.
    virtual int32_t illuminate(RenderContext* context, LightRecord* light, float colour_out[3],
                               float work[3], const float point[3], float work_again[3],
                               int32_t shadow_flag, int32_t zero) = 0;
    virtual LightRecord* get_light(RenderContext* context, int32_t index) = 0;
    virtual int32_t light_count(RenderContext* context) = 0;
};

}  // namespace tmhost

#endif
