#include "host/image/lettering.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <stb/stb_truetype.h>

#include "host/image/embedded_font.h"

namespace tmhost {

namespace {

struct Character {
    char32_t code;
    std::size_t begin;  // its bytes in the text
    std::size_t end;
};

constexpr char32_t kReplacement = 0xFFFD;

// Strict UTF-8: an overlong form, a surrogate, a value past U+10FFFF or a cut sequence is one
// replacement character per byte that cannot start a character.
std::vector<Character> characters(const std::string& text) {
    std::vector<Character> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
            least = 0x10000;
        }
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid && length > 1) {
            valid = code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        }
        if (!valid) {
            out.push_back({kReplacement, i, i + 1});
            ++i;
            continue;
        }
        out.push_back({code, i, i + static_cast<std::size_t>(length)});
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string bytes_of(const std::string& text, const std::vector<Character>& chars,
                     std::size_t first, std::size_t last) {
    return text.substr(chars[first].begin, chars[last - 1].end - chars[first].begin);
}

}  // namespace

struct Lettering::Face {
    stbtt_fontinfo font{};
    float scale = 0.0f;
    int ascent = 0;  // in font units
    int line_height = 0;

    // The pen positions, in pixels from the text's start, before each character and after the
    // last: advances and kerning pairs as the font gives them.
    std::vector<float> pens(const std::vector<Character>& chars) const {
        std::vector<float> pen(chars.size() + 1, 0.0f);
        int previous = 0;
        for (std::size_t i = 0; i < chars.size(); ++i) {
            const int glyph = stbtt_FindGlyphIndex(&font, static_cast<int>(chars[i].code));
            float x = pen[i];
            if (i > 0)
                x += scale * static_cast<float>(stbtt_GetGlyphKernAdvance(&font, previous, glyph));
            pen[i] = x;
            int advance = 0;
            int bearing = 0;
            stbtt_GetGlyphHMetrics(&font, glyph, &advance, &bearing);
            pen[i + 1] = x + scale * static_cast<float>(advance);
            previous = glyph;
        }
        return pen;
    }
};

Lettering::Lettering(float pixel_height) : face_(std::make_unique<Face>()) {
    const FontFile file = embedded_font();
    if (stbtt_InitFont(&face_->font, file.data, stbtt_GetFontOffsetForIndex(file.data, 0)) == 0) {
        throw std::runtime_error("the built-in font cannot be read");
    }
    face_->scale = stbtt_ScaleForPixelHeight(&face_->font, pixel_height);
    int ascent = 0;
    int descent = 0;
    int gap = 0;
    stbtt_GetFontVMetrics(&face_->font, &ascent, &descent, &gap);
    face_->ascent = ascent;
    face_->line_height =
        static_cast<int>(std::ceil(face_->scale * static_cast<float>(ascent - descent + gap)));
}

Lettering::~Lettering() = default;

int Lettering::line_height() const { return face_->line_height; }

int Lettering::width(const std::string& text) const {
    const std::vector<Character> chars = characters(text);
    return static_cast<int>(std::ceil(face_->pens(chars).back()));
}

void Lettering::draw(Image& image, int x, int top, const std::string& text, Ink colour) const {
    const std::vector<Character> chars = characters(text);
    const std::vector<float> pen = face_->pens(chars);
    const int baseline =
        top + static_cast<int>(std::lround(face_->scale * static_cast<float>(face_->ascent)));
    const float target[3] = {colour.red, colour.green, colour.blue};
    std::vector<unsigned char> coverage;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const int glyph = stbtt_FindGlyphIndex(&face_->font, static_cast<int>(chars[i].code));
        const float left = std::floor(pen[i]);
        const float shift = pen[i] - left;
        int x0 = 0;
        int y0 = 0;
        int x1 = 0;
        int y1 = 0;
        stbtt_GetGlyphBitmapBoxSubpixel(&face_->font, glyph, face_->scale, face_->scale, shift,
                                        0.0f, &x0, &y0, &x1, &y1);
        const int w = x1 - x0;
        const int h = y1 - y0;
        if (w <= 0 || h <= 0) continue;  // a space
        coverage.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        stbtt_MakeGlyphBitmapSubpixel(&face_->font, coverage.data(), w, h, w, face_->scale,
                                      face_->scale, shift, 0.0f, glyph);
        const int origin_x = x + static_cast<int>(left) + x0;
        const int origin_y = baseline + y0;
        for (int gy = 0; gy < h; ++gy) {
            const int py = origin_y + gy;
            if (py < 0 || py >= image.height()) continue;
            for (int gx = 0; gx < w; ++gx) {
                const int px = origin_x + gx;
                if (px < 0 || px >= image.width()) continue;
                const unsigned char cover =
                    coverage[static_cast<std::size_t>(gy) * static_cast<std::size_t>(w) +
                             static_cast<std::size_t>(gx)];
                if (cover == 0) continue;
                const double alpha = cover / 255.0;
                float* rgb = image.pixel(px, py);
                for (int c = 0; c < 3; ++c) {
                    const double from =
                        std::sqrt(std::clamp(static_cast<double>(rgb[c]), 0.0, 1.0));
                    const double to =
                        std::sqrt(std::clamp(static_cast<double>(target[c]), 0.0, 1.0));
                    const double shown = from + (to - from) * alpha;
                    rgb[c] = static_cast<float>(shown * shown);
                }
            }
        }
    }
}

std::vector<std::string> Lettering::wrapped(const std::string& text, int max_width) const {
    const std::vector<Character> chars = characters(text);
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < chars.size()) {
        while (i < chars.size() && chars[i].code == U' ') ++i;  // no line starts with a space
        if (i == chars.size()) break;
        const std::size_t start = i;
        std::size_t last_fit = start;  // end of the longest run of whole words that fits
        std::size_t end = start;
        while (end < chars.size()) {
            std::size_t word_end = end;
            while (word_end < chars.size() && chars[word_end].code == U' ') ++word_end;
            while (word_end < chars.size() && chars[word_end].code != U' ') ++word_end;
            if (width(bytes_of(text, chars, start, word_end)) > max_width) break;
            end = word_end;
            last_fit = end;
        }
        if (last_fit == start) {
            // Not even one word fits: as many characters as do, and at least one.
            std::size_t cut = start + 1;
            while (cut < chars.size() && chars[cut].code != U' ' &&
                   width(bytes_of(text, chars, start, cut + 1)) <= max_width) {
                ++cut;
            }
            last_fit = cut;
        }
        lines.push_back(bytes_of(text, chars, start, last_fit));
        i = last_fit;
    }
    return lines;
}

}  // namespace tmhost
