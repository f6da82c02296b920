// A float RGB image, rows from the top, as the renderer fills it and the writers store it.
#ifndef TMHOST_IMAGE_H
#define TMHOST_IMAGE_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace tmhost {

// Large enough for any render the stand-in host is for, small enough that a float image
// (12 bytes a pixel) still fits a 32-bit process: 16 Mi pixels are 192 MiB.
constexpr int kMaxImageSide = 16384;
constexpr long long kMaxImagePixels = 16LL * 1024 * 1024;

inline bool too_many_pixels(int width, int height) {
    return static_cast<long long>(width) * height > kMaxImagePixels;
}

class Image {
public:
    Image() = default;
    // Throws std::invalid_argument when a side is below 1 or beyond the limits above.
    Image(int width, int height) : width_(width), height_(height) {
        if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide ||
            too_many_pixels(width, height)) {
            throw std::invalid_argument("image size " + std::to_string(width) + "x" +
                                        std::to_string(height) + " out of range");
        }
        pixels_.assign(static_cast<std::size_t>(width) * height * 3, 0.0f);
    }

    int width() const { return width_; }
    int height() const { return height_; }

    // R, G, B of pixel (x, y); y = 0 is the top row.
    float* pixel(int x, int y) { return &pixels_[index(x, y)]; }
    const float* pixel(int x, int y) const { return &pixels_[index(x, y)]; }

    const std::vector<float>& values() const { return pixels_; }

private:
    std::size_t index(int x, int y) const { return (static_cast<std::size_t>(y) * width_ + x) * 3; }

    int width_ = 0;
    int height_ = 0;
    std::vector<float> pixels_;
};

}  // namespace tmhost

#endif
