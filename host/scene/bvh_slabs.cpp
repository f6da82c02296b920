#include "host/scene/bvh_slabs.h"

#include <cfloat>

namespace tmhost {

namespace {

// Eight float steps (2^-21) of the magnitudes involved: a float product rounds by half a step of
// its result, the float inverse by half a step of its own, and the double arithmetic here by far
// less.
constexpr double kSlackPerUnit = 0x1p-21;
// Four float steps more of each term, and the smallest float: beyond the rounding of the slack
// and of the scaled origin to floats.
constexpr double kRounding = 0x1p-22;
constexpr double kSmallest = 0x1p-149;

// Two axes at a time, each step the same IEEE operation as one axis alone would take. A ray is
// set up once a segment, millions of times a render: the three divisions and their slack came
// to a third of the walk's own work when they were done one axis after the other.
struct AxisPair {
    __m128d inverse;
    __m128d scaled_near;  // origin x inverse, plus the slack (NaN: the axis is left out)
    __m128d scaled_far;   // origin x inverse, less the slack (NaN: the axis is left out)
};

inline __m128d magnitude(__m128d v) { return _mm_andnot_pd(_mm_set1_pd(-0.0), v); }

// The nearest floats to two doubles, in the low half; SSE's conversion overflows to infinity (a
// C++ conversion of a double beyond the float range is undefined).
inline __m128 nearest_floats(__m128d v) { return _mm_cvtpd_ps(v); }

__attribute__((always_inline)) inline AxisPair axis_pair(__m128d origin, __m128d direction,
                                                         __m128d reach) {
    AxisPair pair;
    const __m128d inverse = _mm_div_pd(_mm_set1_pd(1.0), direction);
    const __m128d scaled = _mm_mul_pd(origin, inverse);
    const __m128d slack =
        _mm_mul_pd(_mm_mul_pd(_mm_set1_pd(kSlackPerUnit), _mm_add_pd(reach, magnitude(origin))),
                   magnitude(inverse));
    const __m128d widened =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(slack, _mm_set1_pd(1.0 + kRounding)),
                              _mm_mul_pd(magnitude(scaled), _mm_set1_pd(kRounding))),
                   _mm_set1_pd(kSmallest));
    // Finite: no larger in magnitude than the largest double, which neither NaN nor an infinity
    // is. A direction along the axis, or a product beyond the doubles, leaves the axis out.
    const __m128d largest = _mm_set1_pd(DBL_MAX);
    const __m128d finite = _mm_and_pd(_mm_cmple_pd(magnitude(scaled), largest),
                                      _mm_cmple_pd(magnitude(widened), largest));
    const __m128d nan = _mm_set1_pd(std::numeric_limits<double>::quiet_NaN());
    pair.inverse = inverse;
    pair.scaled_near =
        _mm_or_pd(_mm_and_pd(finite, _mm_add_pd(scaled, widened)), _mm_andnot_pd(finite, nan));
    pair.scaled_far =
        _mm_or_pd(_mm_and_pd(finite, _mm_sub_pd(scaled, widened)), _mm_andnot_pd(finite, nan));
    return pair;
}

}  // namespace

BoxSlabs::BoxSlabs(const Ray& ray, double t_min, double reach) {
    const __m128d spread = _mm_set1_pd(reach);
    const AxisPair xy = axis_pair(_mm_set_pd(ray.origin.y, ray.origin.x),
                                  _mm_set_pd(ray.direction.y, ray.direction.x), spread);
    const AxisPair z =
        axis_pair(_mm_set_sd(ray.origin.z), _mm_set_pd(1.0, ray.direction.z), spread);
    // A finite double made a float no lower (near) / no higher (far) than it was before it was
    // moved out by a margin wider than the rounding to the nearest float; a value that overflows
    // keeps its side. NaN stays NaN: max and min answer their second operand.
    const __m128 lowest = _mm_set1_ps(-FLT_MAX);
    const __m128 highest = _mm_set1_ps(FLT_MAX);
    const __m128 inverse = _mm_movelh_ps(nearest_floats(xy.inverse), nearest_floats(z.inverse));
    const __m128 near = _mm_max_ps(
        lowest, _mm_movelh_ps(nearest_floats(xy.scaled_near), nearest_floats(z.scaled_near)));
    const __m128 far = _mm_min_ps(
        highest, _mm_movelh_ps(nearest_floats(xy.scaled_far), nearest_floats(z.scaled_far)));
    inverse_[0] = _mm_shuffle_ps(inverse, inverse, 0x00);
    inverse_[1] = _mm_shuffle_ps(inverse, inverse, 0x55);
    inverse_[2] = _mm_shuffle_ps(inverse, inverse, 0xaa);
    scaled_near_[0] = _mm_shuffle_ps(near, near, 0x00);
    scaled_near_[1] = _mm_shuffle_ps(near, near, 0x55);
    scaled_near_[2] = _mm_shuffle_ps(near, near, 0xaa);
    scaled_far_[0] = _mm_shuffle_ps(far, far, 0x00);
    scaled_far_[1] = _mm_shuffle_ps(far, far, 0x55);
    scaled_far_[2] = _mm_shuffle_ps(far, far, 0xaa);
    // Negative inverses (a direction of -0 included) enter a box through its high side.
    const int negative = _mm_movemask_pd(_mm_cmplt_pd(xy.inverse, _mm_setzero_pd()));
    near_row_[0] = negative & 1;
    near_row_[1] = 2 + (negative >> 1);
    near_row_[2] = 4 + (_mm_movemask_pd(_mm_cmplt_pd(z.inverse, _mm_setzero_pd())) & 1);
    t_min_ = _mm_set1_ps(roughly_below(t_min));
}

}  // namespace tmhost
