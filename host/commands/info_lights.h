// The lights of tonemix-host info: a light at a position whose colour x intensity falls off as
// 1 / (1 + d^2). It is finite at the light itself and different at every sample point, so a
// shaded colour shows every draw that placed the points. Plain IEEE float arithmetic (no library
// functions), so the Linux and the Windows build answer the same bits.
#ifndef TMHOST_INFO_LIGHTS_H
#define TMHOST_INFO_LIGHTS_H

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tmhost {

class FalloffLightSource {
public:
    struct Light {
        std::array<float, 3> position{};
        std::array<float, 3> colour{};
        float intensity = 1.0f;
    };

    explicit FalloffLightSource(std::vector<Light> lights) : lights_(std::move(lights)) {}
    // False for an index that names no light; shadows change nothing.
    bool illuminate(int32_t index, const float point[3], bool shadows, float colour_out[3]) const;

private:
    std::vector<Light> lights_;
};

}  // namespace tmhost

#endif
