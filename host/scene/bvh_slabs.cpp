#include "host/scene/bvh_slabs.h"

#include <algorithm>

namespace tmhost {

namespace {

// The float nearest a double, and infinity beyond the float range.
float nearest_float(double value) {
    return _mm_cvtss_f32(_mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(value)));
}

// Eight float steps (2^-21) of the magnitudes involved: a float product rounds by half a step of
// its result, the float inverse by half a step of its own, and the double arithmetic here by far
// less.
constexpr double kSlackPerUnit = 0x1p-21;

}  // namespace

BoxSlabs::BoxSlabs(const Ray& ray, double t_min, double reach) {
    const double origin[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
    const double direction[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
    for (int axis = 0; axis < 3; ++axis) {
        const double inverse = 1.0 / direction[axis];
        const double scaled = origin[axis] * inverse;
        const double slack = kSlackPerUnit * (reach + std::fabs(origin[axis])) * std::fabs(inverse);
        inverse_[axis] = _mm_set1_ps(nearest_float(inverse));
        scaled_near_[axis] = _mm_set1_ps(roughly_above(scaled + slack));
        scaled_far_[axis] = _mm_set1_ps(roughly_below(scaled - slack));
        near_row_[axis] = 2 * axis + (inverse < 0.0 ? 1 : 0);
    }
    t_min_ = _mm_set1_ps(roughly_below(t_min));
}

}  // namespace tmhost
