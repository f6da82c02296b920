#include "host/image/exr_image.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <tinyexr.h>

#include "host/image/whole_file.h"

namespace tmhost {

namespace {

// OpenEXR lists channels by name in alphabetical order; readers find R, G and B by name.
constexpr const char* kChannelNames[3] = {"B", "G", "R"};
constexpr int kRgbIndex[3] = {2, 1, 0};

// One plane of floats per channel, in the order of kChannelNames.
std::vector<std::vector<float>> planes_of(const Image& image) {
    const std::vector<float>& values = image.values();
    const std::size_t pixels = values.size() / 3;
    std::vector<std::vector<float>> planes(3, std::vector<float>(pixels));
    for (int plane = 0; plane < 3; ++plane) {
        float* out = planes[plane].data();
        const float* in = values.data() + kRgbIndex[plane];
        for (std::size_t i = 0; i < pixels; ++i) out[i] = in[3 * i];
    }
    return planes;
}

}  // namespace

std::string encode_exr(const Image& image) {
    std::vector<std::vector<float>> planes = planes_of(image);
    unsigned char* plane_pointers[3];
    for (int plane = 0; plane < 3; ++plane) {
        plane_pointers[plane] = reinterpret_cast<unsigned char*>(planes[plane].data());
    }

    EXRImage exr_image;
    InitEXRImage(&exr_image);
    exr_image.num_channels = 3;
    exr_image.images = plane_pointers;
    exr_image.width = image.width();
    exr_image.height = image.height();

    EXRChannelInfo channels[3];
    int pixel_types[3];
    std::memset(channels, 0, sizeof channels);
    for (int plane = 0; plane < 3; ++plane) {
        std::strcpy(channels[plane].name, kChannelNames[plane]);
        pixel_types[plane] = TINYEXR_PIXELTYPE_FLOAT;
    }
    EXRHeader header;
    InitEXRHeader(&header);
    header.num_channels = 3;
    header.channels = channels;
    header.pixel_types = pixel_types;            // as handed over
    header.requested_pixel_types = pixel_types;  // as stored
    header.compression_type = TINYEXR_COMPRESSIONTYPE_ZIP;

    unsigned char* memory = nullptr;
    const char* error = nullptr;
    const std::size_t size = SaveEXRImageToMemory(&exr_image, &header, &memory, &error);
    if (size == 0) {
        const std::string reason = error != nullptr ? error : "no reason given";
        FreeEXRErrorMessage(error);
        std::free(memory);
        throw FileError("cannot encode EXR: " + reason);
    }
    std::string exr(reinterpret_cast<const char*>(memory), size);
    std::free(memory);
    return exr;
}

void write_exr(const std::string& path, const Image& image) {
    std::string exr;
    try {
        exr = encode_exr(image);
    } catch (const FileError& error) {
        throw FileError(path + ": cannot write: " + error.what());
    }
    replace_file(path, exr);
}

}  // namespace tmhost
