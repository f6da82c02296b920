#include "host/commands/info_lights.h"

namespace tmhost {

bool FalloffLightSource::illuminate(int32_t index, const float point[3], bool,
                                    float colour_out[3]) const {
    if (index < 0 || static_cast<std::size_t>(index) >= lights_.size()) return false;
    const Light& light = lights_[static_cast<std::size_t>(index)];
    float d2 = 0.0f;
    for (int k = 0; k < 3; ++k) {
        const float d = light.position[k] - point[k];
        d2 += d * d;
    }
    const float scale = light.intensity / (1.0f + d2);
    for (int k = 0; k < 3; ++k) colour_out[k] = light.colour[k] * scale;
    return true;
}

}  // namespace tmhost
