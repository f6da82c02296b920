#include "host/core/simple_light_sources.h"

namespace tmhost {

namespace {

template <typename Light>
const Light* light_at(const std::vector<Light>& lights, int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= lights.size()) return nullptr;
    return &lights[static_cast<std::size_t>(index)];
}

}  // namespace

bool ConstantLightSource::illuminate(int32_t index, const float[3], bool shadows,
                                     float colour_out[3]) const {
    const Light* light = light_at(lights_, index);
    if (light == nullptr || (shadows && light->shadowed)) return false;
    for (int k = 0; k < 3; ++k) colour_out[k] = light->colour[k] * light->intensity;
    return true;
}

bool FalloffLightSource::illuminate(int32_t index, const float point[3], bool,
                                    float colour_out[3]) const {
    const Light* light = light_at(lights_, index);
    if (light == nullptr) return false;
    float d2 = 0.0f;
    for (int k = 0; k < 3; ++k) {
        const float d = light->position[k] - point[k];
        d2 += d * d;
    }
    const float scale = light->intensity / (1.0f + d2);
    for (int k = 0; k < 3; ++k) colour_out[k] = light->colour[k] * scale;
    return true;
}

}  // namespace tmhost
