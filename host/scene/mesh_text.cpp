#include "host/scene/mesh_text.h"

#include <cmath>
#include <cstdlib>

#include "host/scene/obj_numbers.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

// 10^308 is below the largest double (about 1.8 x 10^308): a number of fewer digits is finite.
constexpr long kSafeDigits = 308;
// Exponents of more digits than this go to strtod, whatever they say.
constexpr std::size_t kLongestExponent = 6;

}  // namespace

std::string quoted_token(std::string_view token) {
    constexpr std::size_t kLongest = 40;
    std::string text(token.substr(0, kLongest));
    if (token.size() > kLongest) text += "...";
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return "\"" + text + "\"";
}

void fail_at_line(const std::string& path, std::size_t line, const std::string& what) {
    throw SceneError(path + ": line " + std::to_string(line) + ": " + what);
}

void check_decimal(std::string_view token, const std::string& path, std::size_t line) {
    if (!is_decimal(token)) {
        fail_at_line(path, line, "expected a finite decimal number, got " + quoted_token(token));
    }
}

bool decimal_in_range(std::string_view token) {
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    while (i < token.size() && token[i] == '0') ++i;
    long digits = 0;  // of the integer part, from its first that is not 0
    while (i < token.size() && is_digit(token[i])) ++i, ++digits;
    while (i < token.size() && token[i] != 'e' && token[i] != 'E') ++i;
    long exponent = 0;
    if (i < token.size()) {
        ++i;
        const bool down = i < token.size() && token[i] == '-';
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        if (token.size() - i > kLongestExponent) {
            return std::isfinite(std::strtod(std::string(token).c_str(), nullptr));
        }
        for (; i < token.size(); ++i) exponent = exponent * 10 + (token[i] - '0');
        if (down) exponent = -exponent;
    }
    // The number is below 10^(digits + exponent); a number that small never rounds to infinity.
    if (digits + exponent <= kSafeDigits) return true;
    return std::isfinite(std::strtod(std::string(token).c_str(), nullptr));
}

bool short_integer(std::string_view text, long& value) {
    std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i >= text.size() || text.size() - i > 9) return false;
    long magnitude = 0;
    for (std::size_t k = i; k < text.size(); ++k) {
        if (!is_digit(text[k])) return false;
        magnitude = magnitude * 10 + (text[k] - '0');
    }
    value = text[0] == '-' ? -magnitude : magnitude;
    return true;
}

}  // namespace tmhost
