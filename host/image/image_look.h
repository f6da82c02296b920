// How light becomes a picture: an exposure, a power of two on the light, and for 8-bit images a
// tone map that says what becomes of light above 1. Every step is plain float and double
// arithmetic, so that both builds give the same bytes.
#ifndef TMHOST_IMAGE_LOOK_H
#define TMHOST_IMAGE_LOOK_H

#include <optional>
#include <string>

#include "host/image/image.h"

namespace tmhost {

enum class ToneMap {
    clamp,     // light above 1 is 1: the image as the shader's values say, highlights clipped
    reinhard,  // on luminance: L / (1 + L), the colour's hue kept; never quite reaches 1
    filmic,    // the ACES fit: an S curve that rolls highlights off and reaches 1 near 7.2
};

// The names as --tonemap takes them: "clamp", "reinhard", "filmic"; none for another.
std::optional<ToneMap> tone_map_named(const std::string& name);

constexpr double kMostExposure = 20.0;

// 2^ev for ev within +-kMostExposure, worked out with a fixed series rather than the library's
// exp2, whose last bit may differ between builds: exactly a power of two for a whole ev.
double exposure_scale(double ev);

// The filmic curve alone: (x (2.51 x + 0.03)) / (x (2.43 x + 0.59) + 0.14), then clamped to
// [0, 1]; 0 for 0 and below, and for NaN; 1 from 8 on, infinity included.
float filmic_curve(float x);

// Each channel times `scale` (float products), as light is before any tone map.
void expose(Image& image, double scale);

// Maps the image's light into [0, 1] for an 8-bit image: clamp leaves it to the encoder's clamp;
// reinhard scales each pixel by 1 / (1 + L), L its luminance (0.2126 R + 0.7152 G + 0.0722 B);
// filmic takes each channel through filmic_curve.
void tone_map(Image& image, ToneMap map);

}  // namespace tmhost

#endif
