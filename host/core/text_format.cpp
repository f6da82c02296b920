#include "host/core/text_format.h"

#include <cstdio>
#include <cstdlib>

namespace tmhost {

namespace {

void append_escaped(std::string& out, unsigned char c) {
    switch (c) {
    case '\n':
        out += "\\n";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\t':
        out += "\\t";
        break;
    default:
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
}

}  // namespace

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        append_escaped(out, c);
    }
    out += '"';
    return out;
}

std::string one_line(const std::string& text) {
    std::string out;
    for (unsigned char c : text) append_escaped(out, c);
    return out;
}

std::string real_text(float value) {
    // Fewest digits first; nine always read back exactly. The same C library rules on both
    // platforms keep the Linux and Windows reports equal.
    char buffer[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(buffer, nullptr) == value) break;
    }
    return buffer;
}

}  // namespace tmhost
