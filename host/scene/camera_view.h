// A scene's camera turned, moved closer and shifted, as a viewer's mouse does: what the command
// line's --camera-orbit, --camera-zoom and --camera-pan and the preview page's drags ask for, so
// that a view found on the page can be rendered again from the command line, bit for bit.
#ifndef TMHOST_CAMERA_VIEW_H
#define TMHOST_CAMERA_VIEW_H

#include "host/scene/scene.h"

namespace tmhost {

struct CameraView {
    // Degrees about the target: azimuth about the camera's up axis (positive: the camera moves
    // to its right), elevation toward the up axis, held within kMostElevation of it.
    double azimuth = 0.0;
    double elevation = 0.0;
    double zoom = 1.0;  // the distance to the target divided by this (> 0)
    // Target and camera move together by these many view heights (the height the image spans at
    // the target's distance) along the camera's right and up.
    double pan_right = 0.0;
    double pan_up = 0.0;

    bool is_identity() const {
        return azimuth == 0.0 && elevation == 0.0 && zoom == 1.0 && pan_right == 0.0 &&
               pan_up == 0.0;
    }
};

// The steepest a turned camera looks along its up axis, in degrees of elevation: beyond it the
// view direction and the up axis would no longer give the image a right-hand side.
constexpr double kMostElevation = 89.0;

// The ranges the options take.
constexpr double kMostAzimuth = 3600.0;         // +-
constexpr double kMostElevationChange = 180.0;  // +-
constexpr double kLeastZoom = 0.001;
constexpr double kMostZoom = 1000.0;
constexpr double kMostPan = 100.0;  // +-

// The camera seen through the view: orbit, then zoom, then pan. Plain arithmetic (and sqrt)
// only, so both builds place it to the same bits. The identity view gives the camera as it is.
Camera viewed_camera(const Camera& camera, const CameraView& view);

}  // namespace tmhost

#endif
