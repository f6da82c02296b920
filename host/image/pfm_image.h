// Portable float maps: the renders' exact values, for reference images that tests compare bit
// for bit. Written as "PF\n<w> <h>\n-1.0\n" and little-endian float R, G, B rows from the bottom.
#ifndef TMHOST_PFM_IMAGE_H
#define TMHOST_PFM_IMAGE_H

#include <string>

#include "host/image/image.h"

namespace tmhost {

std::string encode_pfm(const Image& image);

// Accepts colour PFMs of either byte order. Throws FileError with what is wrong (no path).
Image decode_pfm(const std::string& bytes);

// Throw FileError naming the path.
void write_pfm(const std::string& path, const Image& image);
Image read_pfm(const std::string& path);

}  // namespace tmhost

#endif
