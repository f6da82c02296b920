#include "host/scene/camera_view.h"

#include <algorithm>

#include "host/scene/angles.h"
#include "host/scene/camera_rays.h"

namespace tmhost {

namespace {

// v turned about the unit axis by the angle, counter-clockwise seen from the axis's tip.
Vec3 turned_about(const Vec3& v, const Vec3& axis, SineCosine angle) {
    return v * angle.cosine + cross(axis, v) * angle.sine +
           axis * (dot(axis, v) * (1.0 - angle.cosine));
}

// The offset from the target raised by `degrees` toward `up`, in steps of at most 45 degrees so
// that passing the pole is seen in the step that does it: the camera stops kMostElevation short
// of the axis instead of turning over.
Vec3 raised(const Vec3& offset, const Vec3& up, double degrees) {
    const double distance = length(offset);
    const double along = dot(offset, up);
    const Vec3 level = offset - up * along;
    const double level_length = length(level);
    if (!(level_length > 0.0)) return offset;
    const Vec3 level_direction = level * (1.0 / level_length);
    double sine = along / distance;
    double cosine = level_length / distance;
    const SineCosine limit = sine_cosine_degrees(kMostElevation);
    while (degrees != 0.0) {
        const double step = std::clamp(degrees, -45.0, 45.0);
        degrees -= step;
        const SineCosine turn = sine_cosine_degrees(step);
        const double next_sine = sine * turn.cosine + cosine * turn.sine;
        const double next_cosine = cosine * turn.cosine - sine * turn.sine;
        if (next_cosine < limit.cosine) {
            sine = step > 0.0 ? limit.sine : -limit.sine;
            cosine = limit.cosine;
            break;
        }
        sine = next_sine;
        cosine = next_cosine;
    }
    return (level_direction * cosine + up * sine) * distance;
}

}  // namespace

Camera viewed_camera(const Camera& camera, const CameraView& view) {
    if (view.is_identity()) return camera;
    Camera viewed = camera;
    const Vec3 up = normalize(camera.up);
    Vec3 offset = camera.position - camera.target;
    if (view.azimuth != 0.0) offset = turned_about(offset, up, sine_cosine_degrees(view.azimuth));
    if (view.elevation != 0.0) offset = raised(offset, up, view.elevation);
    if (view.zoom != 1.0) offset = offset * (1.0 / view.zoom);
    viewed.position = camera.target + offset;
    if (view.pan_right != 0.0 || view.pan_up != 0.0) {
        const Vec3 forward = normalize(-offset);
        const Vec3 right = normalize(cross(forward, up));
        const Vec3 image_up = cross(right, forward);
        const double view_height = 2.0 * length(offset) * tan_degrees(0.5 * camera.fov_degrees);
        const Vec3 shift = (right * view.pan_right + image_up * view.pan_up) * view_height;
        viewed.position = viewed.position + shift;
        viewed.target = camera.target + shift;
    }
    return viewed;
}

}  // namespace tmhost
