// Whether a double survives conversion to a narrower type. Beyond the range of the target the
// conversion is undefined: in practice a wrapped integer or an infinity, read as if it were the
// number a file gave. Every such conversion asks first.
#ifndef TMHOST_NUMBER_RANGE_H
#define TMHOST_NUMBER_RANGE_H

#include <cmath>
#include <limits>

namespace tmhost {

// Finite and no larger in magnitude than the largest float.
inline bool fits_float(double value) {
    return std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max());
}

// Truncates toward zero into a long long: from -2^63 to just below 2^63.
inline bool fits_long_long(double value) {
    constexpr double kLimit = 9223372036854775808.0;  // 2^63, exact in a double
    return value >= -kLimit && value < kLimit;
}

}  // namespace tmhost

#endif
