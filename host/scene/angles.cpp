#include "host/scene/angles.h"

#include <cmath>

namespace tmhost {

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

SineCosine series_sine_cosine(double radians) {
    const double square = radians * radians;
    SineCosine result{0.0, 0.0};
    double sine_term = radians;
    double cosine_term = 1.0;
    for (int k = 0; k < 13; ++k) {
        result.sine += sine_term;
        result.cosine += cosine_term;
        sine_term *= -square / ((2.0 * k + 2.0) * (2.0 * k + 3.0));
        cosine_term *= -square / ((2.0 * k + 1.0) * (2.0 * k + 2.0));
    }
    return result;
}

SineCosine sine_cosine_degrees(double degrees) {
    // fmod is exact, and so is subtracting a multiple of 90 from a value below 360: the series
    // only ever sees the remainder, at most 45 degrees from a right angle.
    double turn = std::fmod(degrees, 360.0);
    if (turn < 0.0) turn += 360.0;
    int quadrant = static_cast<int>(turn / 90.0);
    if (quadrant > 3) quadrant = 3;
    double rest = turn - 90.0 * quadrant;
    if (rest > 45.0) {
        rest -= 90.0;
        quadrant = (quadrant + 1) % 4;
    }
    const SineCosine near = series_sine_cosine(rest * (kPi / 180.0));
    switch (quadrant) {
    case 0:
        return near;
    case 1:
        return {near.cosine, -near.sine};
    case 2:
        return {-near.sine, -near.cosine};
    default:
        return {-near.cosine, near.sine};
    }
}

}  // namespace tmhost
