// Reading the written files back through the libraries' own decoders: stb_image for PNG, tinyexr
// for OpenEXR. What a test compares is then what any reader of the file would see.
#ifndef TONEMIX_IMAGE_DECODERS_H
#define TONEMIX_IMAGE_DECODERS_H

#include <cstdint>
#include <string>
#include <vector>

namespace tonemix_test {

// The 8-bit pixels of a PNG as stored, R, G, B from the top row; `channels` is what the file
// holds. An empty result (with `reason` set) when stb_image refuses the file.
struct PngPixels {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint8_t> bytes;
    std::string reason;
};
PngPixels decode_png(const std::string& png);

// One scan-line part of float channels as tinyexr reads it: the channel names in the file's
// order, each with its plane of floats from the top row.
struct ExrChannels {
    int width = 0;
    int height = 0;
    int compression = -1;
    std::vector<std::string> names;
    std::vector<int> pixel_types;
    std::vector<std::vector<float>> planes;
    std::string reason;  // set when tinyexr refuses the file
};
ExrChannels decode_exr(const std::string& exr);

}  // namespace tonemix_test

#endif
