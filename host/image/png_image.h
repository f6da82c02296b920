// 8-bit RGB PNG files of a float image, compressed by stb_image_write, in sRGB and saying so in
// an sRGB chunk.
#ifndef TMHOST_PNG_IMAGE_H
#define TMHOST_PNG_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/image/image.h"

namespace tmhost {

// Light to pixel value: clamp to [0, 1] (NaN counts as 0), then the sRGB transfer, rounded to
// the nearest code by srgb_code's table, so the same in both builds.
std::uint8_t display_byte(float value);

// R, G, B of every pixel through display_byte, rows from the top: the bytes a PNG stores.
std::vector<std::uint8_t> display_bytes(const Image& image);

// The complete PNG file. Throws FileError "cannot encode PNG" when the encoder fails (it can only
// run out of memory).
std::string encode_png(const Image& image);

// Throws FileError "<path>: cannot write: <reason>"; see replace_file.
void write_png(const std::string& path, const Image& image);

}  // namespace tmhost

#endif
