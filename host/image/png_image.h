// 8-bit RGB PNG files of a float image, made without any library: the zlib stream holds stored
// (uncompressed) deflate blocks, which every PNG reader accepts.
#pragma once

#include <cstdint>
#include <string>

#include "host/image/image.h"

namespace tmhost {

// Light to pixel value: clamp to [0, 1] (NaN counts as 0), then gamma 2.0 by a square root,
// which is correctly rounded and so the same in both builds: round(255 * sqrt(v)).
std::uint8_t display_byte(float value);

// The complete PNG file.
std::string encode_png(const Image& image);

// Throws FileError; see replace_file.
void write_png(const std::string& path, const Image& image);

}  // namespace tmhost
