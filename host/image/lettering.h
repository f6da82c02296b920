// Text drawn into a float image with the built-in font: the labels and captions of a contact
// sheet. Text is UTF-8; a byte that starts no character is drawn as U+FFFD. Drawing is exact
// arithmetic on the font's outlines, so both builds letter an image with the same bits.
#ifndef TMHOST_LETTERING_H
#define TMHOST_LETTERING_H

#include <memory>
#include <string>
#include <vector>

#include "host/image/image.h"

namespace tmhost {

struct Ink {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
};

class Lettering {
public:
    // The font at `pixel_height` pixels from its highest ascender to its lowest descender.
    explicit Lettering(float pixel_height);
    ~Lettering();
    Lettering(const Lettering&) = delete;
    Lettering& operator=(const Lettering&) = delete;

    // The height of one line and the distance from one line's top to the next's.
    int line_height() const;
    // The pixels the text advances, from its first pen position to its last.
    int width(const std::string& text) const;

    // Draws the text with its line's top-left corner at (x, top), blended by each pixel's
    // coverage in the tone the image is shown in (a PNG's square root), so that the edges look
    // as smooth as the font's. What falls outside the image is left out.
    void draw(Image& image, int x, int top, const std::string& text, Ink colour) const;

    // The text in lines of at most max_width pixels, broken between words; a word wider than a
    // line is broken between characters. Empty text gives no line.
    std::vector<std::string> wrapped(const std::string& text, int max_width) const;

private:
    struct Face;
    std::unique_ptr<Face> face_;
};

}  // namespace tmhost

#endif
