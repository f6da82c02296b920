#include "image_decoders.h"

#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#include <tinyexr.h>

namespace tonemix_test {

PngPixels decode_png(const std::string& png) {
    PngPixels out;
    stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()),
                                            static_cast<int>(png.size()), &out.width, &out.height,
                                            &out.channels, 0);
    if (pixels == nullptr) {
        out.reason = stbi_failure_reason();
        return out;
    }
    out.bytes.assign(pixels, pixels + static_cast<std::size_t>(out.width) * out.height *
                                          static_cast<std::size_t>(out.channels));
    stbi_image_free(pixels);
    return out;
}

ExrChannels decode_exr(const std::string& exr) {
    ExrChannels out;
    const auto* memory = reinterpret_cast<const unsigned char*>(exr.data());
    EXRVersion version;
    if (ParseEXRVersionFromMemory(&version, memory, exr.size()) != TINYEXR_SUCCESS) {
        out.reason = "not an EXR version header";
        return out;
    }
    EXRHeader header;
    InitEXRHeader(&header);
    const char* error = nullptr;
    if (ParseEXRHeaderFromMemory(&header, &version, memory, exr.size(), &error) !=
        TINYEXR_SUCCESS) {
        out.reason = error != nullptr ? error : "header refused";
        FreeEXRErrorMessage(error);
        return out;
    }
    EXRImage image;
    InitEXRImage(&image);
    if (LoadEXRImageFromMemory(&image, &header, memory, exr.size(), &error) != TINYEXR_SUCCESS) {
        out.reason = error != nullptr ? error : "image refused";
        FreeEXRErrorMessage(error);
        FreeEXRHeader(&header);
        return out;
    }
    out.width = image.width;
    out.height = image.height;
    out.compression = header.compression_type;
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    for (int c = 0; c < header.num_channels; ++c) {
        out.names.emplace_back(header.channels[c].name);
        out.pixel_types.push_back(header.pixel_types[c]);
        std::vector<float> plane(pixels);
        if (header.pixel_types[c] == TINYEXR_PIXELTYPE_FLOAT && image.images != nullptr) {
            std::memcpy(plane.data(), image.images[c], pixels * sizeof(float));
        }
        out.planes.push_back(std::move(plane));
    }
    FreeEXRImage(&image);
    FreeEXRHeader(&header);
    return out;
}

}  // namespace tonemix_test
