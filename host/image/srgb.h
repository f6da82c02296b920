// Light to the 8-bit code of the sRGB transfer, the one every viewer assumes a PNG holds: by a
// table of the 255 thresholds between codes, so that both builds give the same bytes.
#ifndef TMHOST_SRGB_H
#define TMHOST_SRGB_H

#include <cstdint>

namespace tmhost {

// round(255 * sRGB(light)) for light in [0, 1], computed exactly: 0 for 0 and below (and NaN),
// 255 for 1 and above.
std::uint8_t srgb_code(float light);

// The smallest light that gives `code` (1 to 255); 0 for any other code.
float srgb_threshold(int code);

}  // namespace tmhost

#endif
