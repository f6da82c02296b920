#include "host/image/png_image.h"

#include <stb/stb_image_write.h>
#include <zlib.h>

#include "host/image/srgb.h"
#include "host/image/whole_file.h"

namespace tmhost {

namespace {

void append_to_string(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
}

// The sRGB chunk (rendering intent 0, perceptual) with its CRC, which goes right after IHDR: the
// file says what its bytes are instead of leaving the viewer to guess.
std::string srgb_chunk() {
    const std::string body("sRGB\0", 5);
    const uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    std::string chunk("\0\0\0\x01", 4);
    chunk += body;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>((crc >> shift) & 0xff);
    return chunk;
}

// The signature (8 bytes) and IHDR (25) come first in every PNG.
constexpr std::size_t kAfterHeader = 33;

}  // namespace

std::uint8_t display_byte(float value) { return srgb_code(value); }

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
    png.insert(kAfterHeader, srgb_chunk());
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
