// The slab test of a ray against the four float boxes of a hierarchy node, in SSE. It may answer
// that a ray meets a box it misses by a hair, never that it misses a box it meets:
//
// - the boxes are rounded outward when they are made floats (below() and above());
// - the distance to a box side is side x inverse - origin x inverse, two operations; the second
//   product is made in double from the ray's exact origin, and it is moved by a slack that covers
//   the rounding of both the float product and the float inverse: a few float steps of the
//   largest coordinate of the tree (`reach`) or of the origin, times the inverse;
// - what is left is the rounding of the subtraction, within half a float step of the distance:
//   the entry is shrunk by kShrink (far more) before it is compared with the exit.
//
// NaN never rejects a box. A ray parallel to an axis gives an infinite inverse and an infinite
// slack; their differences on that axis are NaN or infinite, and max and min drop NaN (they keep
// their second operand): that axis is left out, and the ray meets every box the other two allow.
#ifndef TMHOST_BVH_SLABS_H
#define TMHOST_BVH_SLABS_H

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "host/scene/ray.h"

namespace tmhost {

// Four children: their boxes by side and axis (min x, max x, min y, max y, min z, max z), each
// row one value for each child, and what each child is. A child with count 0 is an interior node
// (`child` its index), or no child at all (`child` -1, its box empty: no ray meets it); a child
// with count > 0 is a leaf of `count` primitives from `child` on. A node is two cache lines and
// starts on one: a walk reads a node from memory for almost every step, and a node that straddled
// three lines cost a third more of the reads.
struct alignas(64) BvhNode {
    float bounds[6][4];
    std::int32_t child[4];
    std::uint32_t count[4];

    bool is_leaf(int slot) const { return count[slot] > 0; }
    bool is_node(int slot) const { return count[slot] == 0 && child[slot] >= 0; }
};

// The floats next to a finite float, one step toward either infinity (bit arithmetic: the
// library's nextafter is a call, and boxes are rounded by the hundred thousand).
inline float float_up(float f) {
    if (f == 0.0f) return std::numeric_limits<float>::denorm_min();
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    bits = f > 0.0f ? bits + 1 : bits - 1;
    std::memcpy(&f, &bits, sizeof bits);
    return f;
}
inline float float_down(float f) { return -float_up(-f); }

// The nearest float at or below / at or above a double; doubles beyond the float range go to
// the largest float or to infinity, whichever keeps the side outward.
inline float below(double value) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (value != value) return static_cast<float>(value);
    if (value < -kLargest) return -std::numeric_limits<float>::infinity();
    if (value > kLargest) return std::numeric_limits<float>::max();
    const float f = static_cast<float>(value);
    return static_cast<double>(f) > value ? float_down(f) : f;
}

inline float above(double value) { return -below(-value); }

// The same, by a few float steps more than that: cheaper, for what each ray rounds. The
// conversion is SSE's, which rounds to nearest and overflows to infinity (a C++ conversion of a
// double beyond the float range is undefined); the added step of 2^-149 keeps the side outward
// among the smallest floats, where a step is no longer relative.
inline float roughly_above(double value) {
    const double raised = value + std::fabs(value) * 0x1p-22 + 0x1p-149;
    return _mm_cvtss_f32(_mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(raised)));
}
inline float roughly_below(double value) { return -roughly_above(-value); }

class BoxSlabs {
public:
    // 2^-18 of the distance, some sixty float steps.
    static constexpr float kShrink = 1.0f - 0x1p-18f;

    // `reach`: no coordinate of any box of the tree is larger in magnitude.
    BoxSlabs(const Ray& ray, double t_min, double reach);

    // The far end of the search in floats: `limit` rounded up.
    static float far_end(double limit) { return roughly_above(limit); }

    // Which of the node's four boxes the ray meets between t_min and `far`, one bit a child, and
    // where along the ray each box begins (in `entry`, only meaningful for the bits set).
    int meet(const BvhNode& node, float far, float entry[4]) const {
        const auto row = [&node](int index) { return _mm_loadu_ps(node.bounds[index]); };
        // The candidate first: on NaN, max and min answer their second operand.
        __m128 enter = _mm_max_ps(
            _mm_sub_ps(_mm_mul_ps(row(near_row_[0]), inverse_[0]), scaled_near_[0]), t_min_);
        __m128 leave =
            _mm_min_ps(_mm_sub_ps(_mm_mul_ps(row(near_row_[0] ^ 1), inverse_[0]), scaled_far_[0]),
                       _mm_set1_ps(far));
        enter = _mm_max_ps(_mm_sub_ps(_mm_mul_ps(row(near_row_[1]), inverse_[1]), scaled_near_[1]),
                           enter);
        leave = _mm_min_ps(
            _mm_sub_ps(_mm_mul_ps(row(near_row_[1] ^ 1), inverse_[1]), scaled_far_[1]), leave);
        enter = _mm_max_ps(_mm_sub_ps(_mm_mul_ps(row(near_row_[2]), inverse_[2]), scaled_near_[2]),
                           enter);
        leave = _mm_min_ps(
            _mm_sub_ps(_mm_mul_ps(row(near_row_[2] ^ 1), inverse_[2]), scaled_far_[2]), leave);
        _mm_storeu_ps(entry, enter);
        return _mm_movemask_ps(_mm_cmple_ps(_mm_mul_ps(enter, _mm_set1_ps(kShrink)), leave));
    }

    // Whether a box the ray enters at `entry` may still hold something before `far`.
    bool entry_within(float entry, float far) const { return entry * kShrink <= far; }

private:
    __m128 inverse_[3];
    __m128 scaled_near_[3];  // origin x inverse, plus the slack: entries come out no later
    __m128 scaled_far_[3];   // origin x inverse, less the slack: exits come out no earlier
    __m128 t_min_;
    int near_row_[3];  // the row of the node's bounds a ray enters through, along each axis
};

}  // namespace tmhost

#endif
