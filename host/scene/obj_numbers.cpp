#include "host/scene/obj_numbers.h"

#include <climits>
#include <cmath>
#include <limits>

namespace tmhost {

bool is_decimal(std::string_view token) {
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < token.size() && is_digit(token[i])) ++i, ++digits;
    if (i < token.size() && token[i] == '.') {
        ++i;
        while (i < token.size() && is_digit(token[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        std::size_t exponent = 0;
        while (i < token.size() && is_digit(token[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == token.size();
}

double decimal_value(std::string_view token) {
    static const double kPlaces[] = {1.0, 0.1, 0.01, 0.001, 0.0001, 0.00001, 0.000001, 0.0000001};
    constexpr int kTabled = sizeof kPlaces / sizeof kPlaces[0];
    std::size_t i = 0;
    const bool negative = token[0] == '-';
    if (token[0] == '+' || token[0] == '-') ++i;
    double mantissa = 0.0;
    for (; i < token.size() && is_digit(token[i]); ++i) {
        mantissa *= 10;
        mantissa += token[i] - '0';
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        for (int place = 1; i < token.size() && is_digit(token[i]); ++i, ++place) {
            mantissa +=
                (token[i] - '0') * (place < kTabled ? kPlaces[place] : std::pow(10.0, -place));
        }
    }
    int exponent = 0;
    if (i < token.size()) {  // 'e' or 'E'
        ++i;
        const bool down = token[i] == '-';
        if (token[i] == '+' || token[i] == '-') ++i;
        for (; i < token.size(); ++i) {
            const int digit = token[i] - '0';
            if (exponent > (INT_MAX - digit) / 10) {
                // Beyond int the number is 0, or beyond every double: never the small one that a
                // cut-down exponent would give.
                if (down || mantissa == 0.0) return 0.0;
                return negative ? -std::numeric_limits<double>::infinity()
                                : std::numeric_limits<double>::infinity();
            }
            exponent = exponent * 10 + digit;
        }
        if (down) exponent = -exponent;
    }
    const double magnitude =
        exponent != 0 ? std::ldexp(mantissa * std::pow(5.0, exponent), exponent) : mantissa;
    return negative ? -magnitude : magnitude;
}

}  // namespace tmhost
