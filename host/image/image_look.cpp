#include "host/image/image_look.h"

#include <cmath>

namespace tmhost {

std::optional<ToneMap> tone_map_named(const std::string& name) {
    if (name == "clamp") return ToneMap::clamp;
    if (name == "reinhard") return ToneMap::reinhard;
    if (name == "filmic") return ToneMap::filmic;
    return std::nullopt;
}

double exposure_scale(double ev) {
    const double whole = std::floor(ev);
    // e^(f ln 2) for f in [0, 1) by its Taylor series: 30 terms leave no error a double can hold,
    // the sum is within a unit of its last place, and sums and products of doubles round alike
    // in every build.
    const double x = (ev - whole) * 0.693147180559945309417232121458;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n < 30; ++n) {
        term *= x / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(whole));
}

float filmic_curve(float x) {
    if (!(x > 0.0f)) return 0.0f;
    // The curve passes 1 near 7.24; beyond, infinity too, it is white.
    if (!(x < 8.0f)) return 1.0f;
    const double v = x;
    const double mapped = (v * (2.51 * v + 0.03)) / (v * (2.43 * v + 0.59) + 0.14);
    return mapped >= 1.0 ? 1.0f : static_cast<float>(mapped);
}

void expose(Image& image, double scale) {
    const float factor = static_cast<float>(scale);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            float* rgb = image.pixel(x, y);
            for (int c = 0; c < 3; ++c) rgb[c] *= factor;
        }
    }
}

void tone_map(Image& image, ToneMap map) {
    if (map == ToneMap::clamp) return;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            float* rgb = image.pixel(x, y);
            if (map == ToneMap::filmic) {
                for (int c = 0; c < 3; ++c) rgb[c] = filmic_curve(rgb[c]);
                continue;
            }
            const double luminance = 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
            if (!(luminance > 0.0)) continue;
            const double scale = 1.0 / (1.0 + luminance);
            for (int c = 0; c < 3; ++c) rgb[c] = static_cast<float>(rgb[c] * scale);
        }
    }
}

}  // namespace tmhost
