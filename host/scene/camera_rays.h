// Primary rays of a pinhole camera: one through the centre of each pixel of a width x height
// image with square pixels, the field of view measured vertically.
#ifndef TMHOST_CAMERA_RAYS_H
#define TMHOST_CAMERA_RAYS_H

#include "host/scene/ray.h"
#include "host/scene/scene.h"

namespace tmhost {

// tan of an angle in degrees, 0 < degrees < 90, by plain arithmetic only: library tan may differ
// in its last bit between the C runtimes of the two builds, and this value shapes every ray.
double tan_degrees(double degrees);

class CameraRays {
public:
    // Throws std::invalid_argument for a size below 1x1 or a camera without a view direction
    // (the scene parser already rejects such cameras with a message that names the field).
    CameraRays(const Camera& camera, int width, int height);

    // The ray through the centre of pixel (x, y); (0, 0) is the top left pixel.
    Ray ray(int x, int y) const;
    // The ray through the point (x + u, y + v) of the image, u and v in [0, 1] from the pixel's
    // top left corner; u = v = 0.5 is the ray of its centre, bit for bit.
    Ray ray(int x, int y, double u, double v) const;

private:
    Vec3 origin_;
    Vec3 forward_;  // unit
    Vec3 right_;    // scaled to half the image plane's width at distance 1
    Vec3 up_;       // scaled to half its height
    int width_;
    int height_;
};

}  // namespace tmhost

#endif
