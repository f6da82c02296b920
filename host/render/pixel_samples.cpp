#include "host/render/pixel_samples.h"

#include "host/render/lane_seeds.h"

namespace tmhost {

namespace {

// The render's pixel seed: fixed, so that a scene gives one image. Mixed with every coordinate
// in turn by the lanes' one-to-one mixer.
constexpr uint32_t kPixelSeed = 0x7069786Cu;  // "pixl"

// A fraction in [0, 1) with 24 bits, exact in a float and a double.
double fraction(uint32_t bits) { return static_cast<double>(bits >> 8) / 16777216.0; }

}  // namespace

PixelPlace pixel_place(int x, int y, int index, int count) {
    if (count <= 1) return PixelPlace{};
    int columns = 1;
    while (columns * columns < count) ++columns;
    const int rows = (count + columns - 1) / columns;
    uint32_t h = mix_lane_seed(kPixelSeed, static_cast<uint32_t>(x));
    h = mix_lane_seed(h, static_cast<uint32_t>(y));
    h = mix_lane_seed(h, static_cast<uint32_t>(index));
    const uint32_t across = h;
    const uint32_t down = mix_lane_seed(h, 0x5A5A5A5Au);
    PixelPlace place;
    place.u = ((index % columns) + fraction(across)) / columns;
    place.v = ((index / columns) + fraction(down)) / rows;
    return place;
}

}  // namespace tmhost
