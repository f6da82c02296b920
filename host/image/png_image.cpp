#include "host/image/png_image.h"

#include <algorithm>
#include <cmath>

#include "host/image/checksums.h"
#include "host/image/whole_file.h"

namespace tmhost {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr std::size_t kStoredBlockLimit = 65535;  // a stored block's length is 16 bits

void put_u32_big_endian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFFu);
}

void put_u16_little_endian(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFFu);
    out += static_cast<char>((value >> 8) & 0xFFu);
}

// Length, type, data, and the CRC over type and data.
void put_chunk(std::string& out, const char type[4], const std::string& data) {
    put_u32_big_endian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t type_at = out.size();
    out.append(type, 4);
    out += data;
    put_u32_big_endian(out, crc32(out.data() + type_at, 4 + data.size()));
}

// Each row: filter type 0 (none), then R, G, B bytes.
std::string scanlines(const Image& image) {
    std::string raw;
    raw.reserve(static_cast<std::size_t>(image.width() * 3 + 1) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        raw += '\0';
        for (int x = 0; x < image.width(); ++x) {
            const float* rgb = image.pixel(x, y);
            for (int c = 0; c < 3; ++c) raw += static_cast<char>(display_byte(rgb[c]));
        }
    }
    return raw;
}

// zlib header (deflate, 32 KiB window, no dictionary: 0x78 0x01 passes the header check),
// stored blocks, Adler-32 of the uncompressed data.
std::string zlib_stored(const std::string& raw) {
    std::string out("\x78\x01", 2);
    std::size_t at = 0;
    do {
        const std::size_t length = std::min(kStoredBlockLimit, raw.size() - at);
        const bool last = at + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE 00
        put_u16_little_endian(out, static_cast<std::uint32_t>(length));
        put_u16_little_endian(out, static_cast<std::uint32_t>(~length & 0xFFFFu));
        out.append(raw, at, length);
        at += length;
    } while (at < raw.size());
    put_u32_big_endian(out, adler32(raw.data(), raw.size()));
    return out;
}

}  // namespace

std::uint8_t display_byte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::sqrt(static_cast<double>(value)) * 255.0 + 0.5);
}

std::string encode_png(const Image& image) {
    std::string header;
    put_u32_big_endian(header, static_cast<std::uint32_t>(image.width()));
    put_u32_big_endian(header, static_cast<std::uint32_t>(image.height()));
    header += '\x08';        // bits per channel
    header += '\x02';        // colour type: RGB
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace
    std::string out(kSignature, 8);
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", zlib_stored(scanlines(image)));
    put_chunk(out, "IEND", std::string());
    return out;
}

void write_png(const std::string& path, const Image& image) {
    replace_file(path, encode_png(image));
}

}  // namespace tmhost
