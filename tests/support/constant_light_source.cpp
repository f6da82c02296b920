#include "constant_light_source.h"

namespace tonemix_test {

bool ConstantLightSource::illuminate(int32_t index, const float[3], bool shadows,
                                     float colour_out[3]) const {
    if (index < 0 || static_cast<std::size_t>(index) >= lights_.size()) return false;
    const Light& light = lights_[static_cast<std::size_t>(index)];
    if (shadows && light.shadowed) return false;
    for (int k = 0; k < 3; ++k) colour_out[k] = light.colour[k] * light.intensity;
    return true;
}

}  // namespace tonemix_test
