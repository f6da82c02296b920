// How close to the ends of a ray or a segment a crossing may lie and still be ignored. The
// offset follows the magnitude of the point it protects, as the rounding of that point does, and
// never the size of the scene: a far object or light leaves every offset near the camera as it
// is.
#ifndef TMHOST_RAY_OFFSET_H
#define TMHOST_RAY_OFFSET_H

#include <algorithm>
#include <cmath>

#include "host/scene/vec3.h"

namespace tmhost {

// Points come back from the shader as floats, rounded by its float arithmetic: 1e-5 of a point's
// largest coordinate sits some hundred float steps above that rounding and well below any
// feature a scene is made of.
constexpr double kOffsetPerUnit = 1e-5;
// Near the origin the offset stays that of a point six units out, the size of an ordinary scene.
// The reference renders of the example scenes (tests/render_references/) rest on it: a floor of
// 1e-5 would shadow a few sample points of the built-in scene that lie some 1e-5 inside a
// surface, and change two of its pixels.
constexpr double kOrdinaryExtent = 6.0;

inline double largest_coordinate(const Vec3& v) {
    return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
}

// The offset at the start of a ray or a segment: the camera, or a point the shader asks about.
inline double start_offset(const Vec3& start) {
    return kOffsetPerUnit * std::max(kOrdinaryExtent, largest_coordinate(start));
}

// The offset at the far end of a segment of length `distance`: a crossing found there carries
// the rounding of the whole way, so the distance counts as well as the end's own magnitude.
inline double end_offset(const Vec3& end, double distance) {
    return kOffsetPerUnit * std::max({kOrdinaryExtent, largest_coordinate(end), distance});
}

}  // namespace tmhost

#endif
