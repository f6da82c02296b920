// Light sources whose answer can be worked out by hand, for tests and for tonemix-host info.
//
// Both use only IEEE float arithmetic (no library functions), so the Linux and the Windows build
// answer the same bits.
#ifndef TMHOST_SIMPLE_LIGHT_SOURCES_H
#define TMHOST_SIMPLE_LIGHT_SOURCES_H

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "host/core/point_light_renderer.h"

namespace tmhost {

// Colour × intensity wherever the point is. A light marked shadowed reaches nothing while
// shadows are asked for, as if something stood between it and every point.
class ConstantLightSource {
public:
    struct Light {
        std::array<float, 3> colour{};
        float intensity = 1.0f;
        bool shadowed = false;
    };

    explicit ConstantLightSource(std::vector<Light> lights) : lights_(std::move(lights)) {}
    bool illuminate(int32_t index, const float point[3], bool shadows, float colour_out[3]) const;

private:
    std::vector<Light> lights_;
};

// A light at a position whose colour × intensity falls off as 1 / (1 + d²): finite at the light
// itself, and different at every sample point, so a colour shows every draw that placed them.
class FalloffLightSource {
public:
    struct Light {
        std::array<float, 3> position{};
        std::array<float, 3> colour{};
        float intensity = 1.0f;
    };

    explicit FalloffLightSource(std::vector<Light> lights) : lights_(std::move(lights)) {}
    bool illuminate(int32_t index, const float point[3], bool shadows, float colour_out[3]) const;

private:
    std::vector<Light> lights_;
};

}  // namespace tmhost

#endif
