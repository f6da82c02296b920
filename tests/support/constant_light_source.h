// A light source whose answer is worked out by hand: colour x intensity wherever the point is. A
// light marked shadowed reaches nothing while shadows are asked for, as if something stood
// between it and every point.
#ifndef TONEMIX_CONSTANT_LIGHT_SOURCE_H
#define TONEMIX_CONSTANT_LIGHT_SOURCE_H

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tonemix_test {

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

}  // namespace tonemix_test

#endif
