#include "host/image/png_image.h"

#include <cmath>

#include <stb/stb_image_write.h>

#include "host/image/whole_file.h"

namespace tmhost {

namespace {

void append_to_string(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
}

}  // namespace

std::uint8_t display_byte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::sqrt(static_cast<double>(value)) * 255.0 + 0.5);
}

std::vector<std::uint8_t> display_bytes(const Image& image) {
    const std::vector<float>& values = image.values();
    std::vector<std::uint8_t> bytes(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) bytes[i] = display_byte(values[i]);
    return bytes;
}

std::string encode_png(const Image& image) {
    const std::vector<std::uint8_t> bytes = display_bytes(image);
    std::string png;
    if (stbi_write_png_to_func(append_to_string, &png, image.width(), image.height(), 3,
                               bytes.data(), image.width() * 3) == 0) {
        throw FileError("cannot encode PNG");
    }
    return png;
}

void write_png(const std::string& path, const Image& image) {
    std::string png;
    try {
        png = encode_png(image);
    } catch (const FileError& error) {
        throw FileError(path + ": cannot write: " + error.what());
    }
    replace_file(path, png);
}

}  // namespace tmhost
