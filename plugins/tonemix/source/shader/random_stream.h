// The shader's random numbers: a 31-bit congruential generator with uniform and Gaussian draws.
// All three draws share one state, and the two Gaussian draws share the cached second value of a
// polar-method pair, so the values one draw returns depend on every draw before it.
#ifndef TONEMIX_RANDOM_STREAM_H
#define TONEMIX_RANDOM_STREAM_H

#include <cmath>
#include <cstdint>

struct RandomStream {
    static constexpr uint32_t kMultiplier = 69069;
    static constexpr uint32_t kIncrement = 69069;
    static constexpr uint32_t kMask = 0x7FFFFFFF;
    static constexpr double kDivisor = 2147483648.0;
    static constexpr double kShift = -1.0;
    static constexpr double kPolarFactor = -2.0;
    static constexpr double kCenteredScale = 0.09;
    static constexpr double kCenteredOffset = 0.5;
    static constexpr double kSpreadScale = 0.18;
    static constexpr int32_t kConstructionSeed = 100;

    int32_t seed;
    int32_t has_spare;
    float spare;  // the unscaled second value of the last pair; read only while has_spare is 1

    RandomStream() : seed(kConstructionSeed), has_spare(0), spare(0.0f) {}

    void reseed(int32_t value) {
        seed = value;
        has_spare = 0;
    }

    // The next state: 69069 * (s + 1) modulo 2^31, s taken as its two's-complement bits.
    static uint32_t step(uint32_t state) { return (state * kMultiplier + kIncrement) & kMask; }

    // s / 2^30 - 1, exactly: each step is exact in double precision.
    static double uniform_of(uint32_t state) {
        double x = static_cast<double>(state) / kDivisor;
        return (x + kShift) + x;
    }

    // Uniform in [-1, 1) on a grid of 2^-30.
    double uniform_signed() {
        uint32_t next = step(static_cast<uint32_t>(seed));
        seed = static_cast<int32_t>(next);
        return uniform_of(next);
    }

    // Normal with mean 0.5 and standard deviation 0.09.
    double gauss_centered() { return centered(standard_normal()); }

    // Normal with mean 0 and standard deviation 0.18.
    double gauss_spread() { return spread(standard_normal()); }

    // The pieces of the draws, shared with the streams that split a run of draws in two.
    static double centered(double normal) { return normal * kCenteredScale + kCenteredOffset; }
    static double spread(double normal) { return normal * kSpreadScale; }

    // An accepted pair of the polar method: the two uniforms and their sum of squares.
    struct Pair {
        double u1, u2, q;
    };
    // Steps `state` until a pair is accepted; rejected attempts consume their two steps. Leaves
    // `state` at the step that gave u2.
    static Pair next_pair(uint32_t& state) {
        Pair pair;
        do {
            state = step(state);
            pair.u1 = uniform_of(state);
            state = step(state);
            pair.u2 = uniform_of(state);
            pair.q = pair.u1 * pair.u1 + pair.u2 * pair.u2;
        } while (pair.q >= 1.0 || pair.q == 0.0);
        return pair;
    }
    // What turns the pair's uniforms into standard normals: u2 * factor is drawn, u1 * factor
    // rounded to float is cached. The tests of next_pair use the unrounded q, this its float.
    static double normal_factor(double q) {
        float qf = static_cast<float>(q);
        return std::sqrt((std::log(static_cast<double>(qf)) * kPolarFactor) / qf);
    }

private:
    double standard_normal() {
        if (has_spare != 0) {
            has_spare = 0;
            return static_cast<double>(spare);
        }
        return polar_pair();
    }

    // Answers the value made from the second uniform and caches the one from the first.
    double polar_pair() {
        uint32_t state = static_cast<uint32_t>(seed);
        Pair pair = next_pair(state);
        seed = static_cast<int32_t>(state);
        double m = normal_factor(pair.q);
        spare = static_cast<float>(pair.u1 * m);
        has_spare = 1;
        return pair.u2 * m;
    }
};

#endif
