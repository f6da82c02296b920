#include "host/scene/camera_rays.h"

#include <cmath>
#include <stdexcept>

#include "host/scene/angles.h"

namespace tmhost {

namespace {

// The vector times a power of two that brings its largest component between 2^-64 and 2^64, where
// the products of a cross product and of a length neither underflow nor overflow: the parser
// accepts a view and an up vector of 1e-100, whose cross product's length underflows to zero.
// Scaling by a power of two is exact and turns no direction; a vector already in that range, as
// every ordinary camera's is, is not touched at all, so its rays keep every bit.
Vec3 in_safe_range(Vec3 v) {
    constexpr double kLow = 0x1p-64;
    constexpr double kHigh = 0x1p64;
    const auto largest = [](const Vec3& a) {
        return std::fmax(std::fabs(a.x), std::fmax(std::fabs(a.y), std::fabs(a.z)));
    };
    if (v == Vec3{} || !is_finite(v)) return v;
    while (largest(v) < kLow) v = v * kHigh;
    while (largest(v) > kHigh) v = v * kLow;
    return v;
}

}  // namespace

double tan_degrees(double degrees) {
    constexpr double kPi = 3.14159265358979323846;
    // Above 45 degrees, tan x = cos y / sin y with y = 90 - x: the series argument stays below
    // pi/4, and neither quotient suffers cancellation.
    const bool complement = degrees > 45.0;
    const double angle = (complement ? 90.0 - degrees : degrees) * (kPi / 180.0);
    const SineCosine series = series_sine_cosine(angle);
    return complement ? series.cosine / series.sine : series.sine / series.cosine;
}

CameraRays::CameraRays(const Camera& camera, int width, int height)
    : origin_(camera.position), width_(width), height_(height) {
    if (width < 1 || height < 1) throw std::invalid_argument("camera image size below 1x1");
    if (!(camera.fov_degrees > 0.0 && camera.fov_degrees < 180.0)) {
        throw std::invalid_argument("camera field of view out of range");
    }
    const Vec3 view = in_safe_range(camera.target - camera.position);
    const Vec3 side = view == Vec3{} ? Vec3{} : cross(view, in_safe_range(camera.up));
    if (side == Vec3{}) throw std::invalid_argument("camera without a view direction");
    forward_ = normalize(view);
    const Vec3 right = normalize(side);
    const Vec3 up = cross(right, forward_);
    const double half_height = tan_degrees(camera.fov_degrees * 0.5);
    const double half_width = half_height * width / height;
    right_ = right * half_width;
    up_ = up * half_height;
}

Ray CameraRays::ray(int x, int y) const {
    // Pixel centres in [-1, 1], computed as one exact integer over the size: the middle pixel of
    // an odd size lies exactly on the axis.
    const double across = static_cast<double>(2 * x + 1 - width_) / width_;
    const double down = static_cast<double>(2 * y + 1 - height_) / height_;
    return Ray{origin_, normalize(forward_ + right_ * across - up_ * down)};
}

Ray CameraRays::ray(int x, int y, double u, double v) const {
    // 2 (x + u) - width over width: for u = 0.5, the centre's integer numerator exactly.
    const double across = (2.0 * (x + u) - width_) / width_;
    const double down = (2.0 * (y + v) - height_) / height_;
    return Ray{origin_, normalize(forward_ + right_ * across - up_ * down)};
}

}  // namespace tmhost
