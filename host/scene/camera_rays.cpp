#include "host/scene/camera_rays.h"

#include <stdexcept>

namespace tmhost {

double tan_degrees(double degrees) {
    constexpr double kPi = 3.14159265358979323846;
    // Above 45 degrees, tan x = cos y / sin y with y = 90 - x: the series argument stays below
    // pi/4, where Taylor series of sine and cosine to the 25th power leave an error far below a
    // double's precision, and neither quotient suffers cancellation.
    const bool complement = degrees > 45.0;
    const double angle = (complement ? 90.0 - degrees : degrees) * (kPi / 180.0);
    const double square = angle * angle;
    double sine = 0.0;
    double cosine = 0.0;
    double sine_term = angle;
    double cosine_term = 1.0;
    for (int k = 0; k < 13; ++k) {
        sine += sine_term;
        cosine += cosine_term;
        sine_term *= -square / ((2.0 * k + 2.0) * (2.0 * k + 3.0));
        cosine_term *= -square / ((2.0 * k + 1.0) * (2.0 * k + 2.0));
    }
    return complement ? cosine / sine : sine / cosine;
}

CameraRays::CameraRays(const Camera& camera, int width, int height)
    : origin_(camera.position), width_(width), height_(height) {
    if (width < 1 || height < 1) throw std::invalid_argument("camera image size below 1x1");
    if (!(camera.fov_degrees > 0.0 && camera.fov_degrees < 180.0)) {
        throw std::invalid_argument("camera field of view out of range");
    }
    const Vec3 view = camera.target - camera.position;
    const Vec3 side = view == Vec3{} ? Vec3{} : cross(view, camera.up);
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

}  // namespace tmhost
