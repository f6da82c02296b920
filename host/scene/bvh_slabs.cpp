#include "host/scene/bvh_slabs.h"

#include <algorithm>

namespace tmhost {

namespace {

// The float nearest a double: SSE's conversion, which overflows to infinity (a C++ conversion of a
// double beyond the float range is undefined).
float nearest_float(double value) {
    return _mm_cvtss_f32(_mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(value)));
}

// A finite double made a float no lower / no higher than it was before it was moved out by a
// margin wider than the rounding to the nearest float; a value that overflows keeps its side.
float at_least(double value) {
    const float f = nearest_float(value);
    return f == -std::numeric_limits<float>::infinity() ? -std::numeric_limits<float>::max() : f;
}
float at_most(double value) { return -at_least(-value); }

// Eight float steps (2^-21) of the magnitudes involved: a float product rounds by half a step of
// its result, the float inverse by half a step of its own, and the double arithmetic here by far
// less.
constexpr double kSlackPerUnit = 0x1p-21;
// Four float steps more of each term, and the smallest float: beyond the rounding of the slack
// and of the scaled origin to floats.
constexpr double kRounding = 0x1p-22;
constexpr double kSmallest = 0x1p-149;

}  // namespace

BoxSlabs::BoxSlabs(const Ray& ray, double t_min, double reach) {
    const double origin[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
    const double direction[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
    for (int axis = 0; axis < 3; ++axis) {
        const double inverse = 1.0 / direction[axis];
        const double scaled = origin[axis] * inverse;
        const double slack = kSlackPerUnit * (reach + std::fabs(origin[axis])) * std::fabs(inverse);
        const double widened =
            slack * (1.0 + kRounding) + std::fabs(scaled) * kRounding + kSmallest;
        inverse_[axis] = _mm_set1_ps(nearest_float(inverse));
        if (std::isfinite(scaled) && std::isfinite(widened)) {
            scaled_near_[axis] = _mm_set1_ps(at_least(scaled + widened));
            scaled_far_[axis] = _mm_set1_ps(at_most(scaled - widened));
        } else {
            // A direction along the axis, or a product beyond the doubles: NaN leaves the axis
            // out.
            scaled_near_[axis] = scaled_far_[axis] =
                _mm_set1_ps(std::numeric_limits<float>::quiet_NaN());
        }
        near_row_[axis] = 2 * axis + (inverse < 0.0 ? 1 : 0);
    }
    t_min_ = _mm_set1_ps(roughly_below(t_min));
}

}  // namespace tmhost
