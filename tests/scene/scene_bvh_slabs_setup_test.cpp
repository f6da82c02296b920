// The ray set-up of the hierarchy's box test, made two axes at a time: every box it meets or
// misses, and where it enters each, is what the set-up made one axis at a time answers, bit for
// bit, whatever the ray (along an axis, toward -0, from beyond the float range, NaN).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "host/scene/bvh_slabs.h"

namespace {

using namespace tmhost;

class Numbers {
public:
    explicit Numbers(std::uint64_t seed) : state_(seed * 0x9e3779b97f4a7c15ULL + 7) {}
    double uniform(double low, double high) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return low + (high - low) * (static_cast<double>(state_ >> 11) * 0x1p-53);
    }

private:
    std::uint64_t state_;
};

float nearest(double value) {
    return _mm_cvtss_f32(_mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(value)));
}
// SSE's max and min: the first operand when it is strictly beyond the second, else the second.
float sse_max(float a, float b) { return a > b ? a : b; }
float sse_min(float a, float b) { return a < b ? a : b; }

// The set-up and the box test written out one axis and one box at a time, in the order of their
// operations.
struct OneAxisAtATime {
    float inverse[3];
    float scaled_near[3];
    float scaled_far[3];
    int near_row[3];
    float t_min;

    OneAxisAtATime(const Ray& ray, double t_min_in, double reach) {
        const double origin[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
        const double direction[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
        for (int axis = 0; axis < 3; ++axis) {
            const double inv = 1.0 / direction[axis];
            const double scaled = origin[axis] * inv;
            const double slack = 0x1p-21 * (reach + std::fabs(origin[axis])) * std::fabs(inv);
            const double widened = slack * (1.0 + 0x1p-22) + std::fabs(scaled) * 0x1p-22 + 0x1p-149;
            inverse[axis] = nearest(inv);
            if (std::isfinite(scaled) && std::isfinite(widened)) {
                const float up = nearest(scaled + widened);
                const float down = nearest(scaled - widened);
                scaled_near[axis] = up == -std::numeric_limits<float>::infinity()
                                        ? -std::numeric_limits<float>::max()
                                        : up;
                scaled_far[axis] = down == std::numeric_limits<float>::infinity()
                                       ? std::numeric_limits<float>::max()
                                       : down;
            } else {
                scaled_near[axis] = scaled_far[axis] = std::numeric_limits<float>::quiet_NaN();
            }
            near_row[axis] = 2 * axis + (inv < 0.0 ? 1 : 0);
        }
        t_min = roughly_below(t_min_in);
    }

    bool meets(const BvhNode& node, int slot, float far, float& entry) const {
        float enter = t_min;
        float leave = far;
        for (int axis = 0; axis < 3; ++axis) {
            const float in = node.bounds[near_row[axis]][slot] * inverse[axis] - scaled_near[axis];
            const float out =
                node.bounds[near_row[axis] ^ 1][slot] * inverse[axis] - scaled_far[axis];
            enter = sse_max(in, enter);
            leave = sse_min(out, leave);
        }
        entry = enter;
        return enter * BoxSlabs::kShrink <= leave;
    }
};

double pick(Numbers& numbers, int kind, double scale) {
    switch (kind) {
    case 0:
        return 0.0;
    case 1:
        return -0.0;
    case 2:
        return numbers.uniform(-1e-30, 1e-30);
    case 3:
        return numbers.uniform(-1e40, 1e40);
    case 4:
        return std::numeric_limits<double>::quiet_NaN();
    case 5:
        return std::numeric_limits<double>::infinity();
    default:
        return numbers.uniform(-scale, scale);
    }
}

TEST(SceneBvhSlabsSetup, AnswersAsTheSetUpOfOneAxisAtATime) {
    Numbers numbers(11);
    int met = 0;
    int missed = 0;
    for (int i = 0; i < 40000; ++i) {
        const double scale = std::ldexp(1.0, static_cast<int>(numbers.uniform(-8, 40)));
        // Mostly ordinary rays; now and then an axis of a kind that the set-up treats apart.
        const auto kind = [&]() {
            return numbers.uniform(0, 1) < 0.15 ? static_cast<int>(numbers.uniform(0, 6)) : 6;
        };
        const double t_min = numbers.uniform(0, 1e-3) * scale;
        const double reach = numbers.uniform(0, 2) * scale;
        BvhNode node{};
        for (int slot = 0; slot < 4; ++slot) {
            for (int axis = 0; axis < 3; ++axis) {
                const double a = numbers.uniform(-reach, reach);
                const double b = a + numbers.uniform(0, 0.3) * reach;
                node.bounds[2 * axis][slot] = below(a);
                node.bounds[2 * axis + 1][slot] = above(b);
            }
            node.child[slot] = slot;
            node.count[slot] = 1;
        }
        Ray ray{
            {pick(numbers, kind(), scale), pick(numbers, kind(), scale),
             pick(numbers, kind(), scale)},
            {pick(numbers, kind(), 1.0), pick(numbers, kind(), 1.0), pick(numbers, kind(), 1.0)}};
        if (i % 2 == 0) {
            // Aimed at the middle of a box: most of these meet it.
            const int slot = i / 2 % 4;
            const Vec3 middle{(node.bounds[0][slot] + node.bounds[1][slot]) * 0.5,
                              (node.bounds[2][slot] + node.bounds[3][slot]) * 0.5,
                              (node.bounds[4][slot] + node.bounds[5][slot]) * 0.5};
            const Vec3 way = middle - ray.origin;
            if (is_finite(way) && length(way) > 0.0) ray.direction = normalize(way);
        }
        const float far = BoxSlabs::far_end(numbers.uniform(0, 4) * scale);
        const BoxSlabs slabs(ray, t_min, reach);
        const OneAxisAtATime reference(ray, t_min, reach);
        alignas(16) float entry[4];
        const int mask = slabs.meet(node, far, entry);
        for (int slot = 0; slot < 4; ++slot) {
            float expected_entry = 0.0f;
            const bool expected = reference.meets(node, slot, far, expected_entry);
            ASSERT_EQ((mask >> slot & 1) != 0, expected) << "ray " << i << " slot " << slot;
            if (!expected) {
                ++missed;
                continue;
            }
            ++met;
            if (std::isnan(expected_entry)) {
                EXPECT_TRUE(std::isnan(entry[slot])) << "ray " << i;
            } else {
                EXPECT_EQ(entry[slot], expected_entry) << "ray " << i << " slot " << slot;
            }
        }
    }
    // Both answers were asked for often.
    EXPECT_GT(met, 10000);
    EXPECT_GT(missed, 10000);
}

}  // namespace
