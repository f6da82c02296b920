// The fields and numbers of a text mesh file (OBJ, STL): which tokens are decimal numbers, and the
// value each stands for.
#ifndef TMHOST_OBJ_NUMBERS_H
#define TMHOST_OBJ_NUMBERS_H

#include <string_view>
#include <vector>

namespace tmhost {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Decimal notation only (no hexadecimal, no "nan" or "inf"): what decimal_value converts.
bool is_decimal(std::string_view token);

// A token that is_decimal accepts, converted digit by digit in double arithmetic and then scaled
// by its power of ten; not by strtod, whose correctly rounded value differs in the last bit for
// about half the coordinates of the example meshes: every mesh keeps the bits it has always had,
// and so does every render of it. A long mantissa or a large exponent can give infinity or NaN
// where the number itself is in range; the caller refuses such a coordinate where it is used. An
// exponent beyond int gives 0 or infinity, as the number is then 0 or out of range.
double decimal_value(std::string_view token);

}  // namespace tmhost

#endif
