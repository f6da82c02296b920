#include "host/image/pfm_image.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "host/image/whole_file.h"

namespace tmhost {

namespace {

// Values travel as their bit patterns, never as float values in registers: a 32-bit build may
// pass floats through the x87 unit, which would quiet a signalling NaN and so change its bits.
std::uint32_t bits_of(const float* value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, value, sizeof bits);
    return bits;
}

[[noreturn]] void malformed(const std::string& what) {
    throw FileError("not a valid PFM: " + what);
}

class HeaderReader {
public:
    explicit HeaderReader(const std::string& bytes) : bytes_(bytes) {}

    std::size_t position() const { return at_; }

    // One field: leading white space skipped, then everything up to the next white space, which
    // must be there. Header fields are short; a missing separator means a damaged header.
    std::string field(const char* name) {
        while (at_ < bytes_.size() && is_space(bytes_[at_])) ++at_;
        const std::size_t start = at_;
        while (at_ < bytes_.size() && !is_space(bytes_[at_]) && at_ - start < 32) ++at_;
        if (at_ == start || at_ >= bytes_.size() || !is_space(bytes_[at_])) {
            malformed(std::string("bad or missing ") + name);
        }
        std::string text = bytes_.substr(start, at_ - start);
        return text;
    }

    // The single white space character between the scale and the pixels.
    void skip_separator() { ++at_; }

private:
    static bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

    const std::string& bytes_;
    std::size_t at_ = 0;
};

int parse_side(const std::string& text, const char* name) {
    if (text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        malformed(std::string("bad ") + name + " \"" + text + "\"");
    }
    return std::atoi(text.c_str());
}

}  // namespace

std::string encode_pfm(const Image& image) {
    std::string out =
        "PF\n" + std::to_string(image.width()) + " " + std::to_string(image.height()) + "\n-1.0\n";
    out.reserve(out.size() + image.values().size() * 4);
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t bits = bits_of(image.pixel(x, y) + c);
                for (int shift = 0; shift < 32; shift += 8) {
                    out += static_cast<char>((bits >> shift) & 0xFFu);
                }
            }
        }
    }
    return out;
}

Image decode_pfm(const std::string& bytes) {
    HeaderReader header(bytes);
    const std::string kind = header.field("type");
    if (kind == "Pf") malformed("single-channel PFM; only colour (PF) is read");
    if (kind != "PF") malformed("does not start with PF");
    const int width = parse_side(header.field("width"), "width");
    const int height = parse_side(header.field("height"), "height");
    const std::string scale_text = header.field("scale");
    char* end = nullptr;
    const double scale = std::strtod(scale_text.c_str(), &end);
    if (*end != '\0' || !(scale != 0.0)) malformed("bad scale \"" + scale_text + "\"");
    const bool little_endian = scale < 0.0;
    header.skip_separator();

    Image image;
    try {
        image = Image(width, height);
    } catch (const std::invalid_argument& error) {
        malformed(error.what());
    }
    const std::size_t expected = image.values().size() * 4;
    const std::size_t found = bytes.size() - header.position();
    if (found != expected) {
        malformed("expected " + std::to_string(expected) + " bytes of pixels, found " +
                  std::to_string(found));
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + header.position());
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c, data += 4) {
                std::uint32_t bits = 0;
                for (int i = 0; i < 4; ++i) {
                    const int shift = little_endian ? 8 * i : 24 - 8 * i;
                    bits |= static_cast<std::uint32_t>(data[i]) << shift;
                }
                std::memcpy(image.pixel(x, y) + c, &bits, sizeof bits);
            }
        }
    }
    return image;
}

void write_pfm(const std::string& path, const Image& image) {
    replace_file(path, encode_pfm(image));
}

Image read_pfm(const std::string& path) {
    // The largest image the host makes, with room to spare for its header.
    constexpr std::size_t kMaxPfmBytes =
        3 * sizeof(float) * static_cast<std::size_t>(kMaxImagePixels) + 4096;
    const std::string bytes = read_file(path, kMaxPfmBytes);
    try {
        return decode_pfm(bytes);
    } catch (const FileError& error) {
        throw FileError(path + ": " + error.what());
    }
}

}  // namespace tmhost
