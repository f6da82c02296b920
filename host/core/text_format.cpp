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

// The length of the well-formed UTF-8 sequence at text[at] (2 to 4), and its code point; 0 when
// the bytes there are no such sequence (a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate, a code point beyond U+10FFFF).
int utf8_sequence(const std::string& text, std::size_t at, unsigned long& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        code = lead & 0x1fu;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        code = lead & 0x0fu;
        if (lead == 0xe0) low = 0xa0;   // overlong
        if (lead == 0xed) high = 0x9f;  // surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        code = lead & 0x07u;
        if (lead == 0xf0) low = 0x90;   // overlong
        if (lead == 0xf4) high = 0x8f;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (at + static_cast<std::size_t>(length) > text.size()) return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + static_cast<std::size_t>(i));
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xbf)) return 0;
        code = (code << 6) | (next & 0x3fu);
    }
    return length;
}

// C1 controls reach a terminal as control sequences (U+009B starts one); the bidirectional
// controls make a line read in an order other than its bytes', so a name can pose as another.
bool hidden_control(unsigned long code) {
    return (code >= 0x80 && code <= 0x9f) || code == 0x061c || code == 0x200e || code == 0x200f ||
           (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
}

// The text in one line: control bytes, bytes that are no UTF-8 and hidden controls escaped, and
// with `quote_marks`, quotes and backslashes too.
std::string escaped(const std::string& text, bool quote_marks) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            if (quote_marks && (c == '"' || c == '\\')) out += '\\';
            append_escaped(out, c);
            ++at;
            continue;
        }
        unsigned long code = 0;
        const int length = utf8_sequence(text, at, code);
        char shown[16];
        if (length == 0) {
            std::snprintf(shown, sizeof shown, "\\x%02x", c);
            out += shown;
            ++at;
        } else if (hidden_control(code)) {
            std::snprintf(shown, sizeof shown, "\\u%04lx", code);
            out += shown;
            at += static_cast<std::size_t>(length);
        } else {
            out.append(text, at, static_cast<std::size_t>(length));
            at += static_cast<std::size_t>(length);
        }
    }
    return out;
}

}  // namespace

std::string quoted(const std::string& text) { return "\"" + escaped(text, true) + "\""; }

std::string one_line(const std::string& text) { return escaped(text, false); }

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
