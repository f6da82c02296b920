// OpenEXR files of a float image through tinyexr: one part of scan lines, the channels R, G and B
// as 32-bit floats, ZIP (zlib) compressed, which keeps every bit of every value.
#ifndef TMHOST_EXR_IMAGE_H
#define TMHOST_EXR_IMAGE_H

#include <string>

#include "host/image/image.h"

namespace tmhost {

// The complete EXR file. Throws FileError "cannot encode EXR: <reason>" when tinyexr fails.
std::string encode_exr(const Image& image);

// Throws FileError "<path>: cannot write: <reason>"; see replace_file.
void write_exr(const std::string& path, const Image& image);

}  // namespace tmhost

#endif
