#include "fuzz/mutations.h"

#include <cctype>

namespace tonemix_fuzz {

namespace {

const std::vector<std::string> kHostileValues = {
    "0",
    "-0",
    "-1",
    "1e308",
    "-1e308",
    "1e309",
    "1e18",
    "1e-320",
    "3e38",
    "NaN",
    "Infinity",
    "9223372036854775807",
    "-2147483649",
    "2147483648",
    "4294967296",
    "0.5",
    "true",
    "null",
    "[]",
    "{}",
    "\"\"",
    "\"eight\"",
    "\"\\u001b[31m\"",
    "\"a\\nb\"",
    "\"\xff\xfe\"",
    "[1e308, 1e308, 1e308]",
    "[0, 0, 0]",
    "[1e-100, 1e-100, 1e-100]",
    "[1, 2]",
    "[1, 2, 3, 4]",
    "{\"x\": 1}",
    "-1e7",
    "1e7",
    "12345678901234567890",
};

// Start and length of the number token at or after `from`, or npos.
std::size_t number_at(const std::string& text, std::size_t from, std::size_t& length) {
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            (c == '-' && i + 1 < text.size() &&
             std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
            std::size_t end = i + 1;
            while (end < text.size() &&
                   (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.' ||
                    text[end] == 'e' || text[end] == 'E' || text[end] == '+' || text[end] == '-')) {
                ++end;
            }
            length = end - i;
            return i;
        }
    }
    return std::string::npos;
}

}  // namespace

std::string Mutator::hostile_value() { return kHostileValues[below(kHostileValues.size())]; }

std::string Mutator::mutate(const std::string& text, const std::string& other) {
    std::string out = text;
    const uint32_t count = below(4) == 0 ? 2 : 1;
    for (uint32_t i = 0; i < count; ++i) out = mutate_once(out, other);
    return out;
}

std::string Mutator::mutate_once(const std::string& text, const std::string& other) {
    if (text.empty()) return hostile_value();
    const std::size_t at = below(static_cast<uint32_t>(text.size()));
    std::string out = text;
    switch (below(14)) {
    case 0:  // a byte changed
        out[at] = static_cast<char>(below(256));
        return out;
    case 1:  // a byte inserted
        out.insert(out.begin() + static_cast<long>(at), static_cast<char>(below(256)));
        return out;
    case 2:  // a run deleted
        return out.erase(at, 1 + below(16));
    case 3:  // a run repeated
        return out.insert(at, out.substr(at, 1 + below(64)));
    case 4:  // cut short
        return out.substr(0, at);
    case 5: {  // a piece of the other file
        if (other.empty()) return out;
        const std::size_t from = below(static_cast<uint32_t>(other.size()));
        return out.insert(at, other.substr(from, 1 + below(200)));
    }
    default: {  // a number replaced by a hostile value
        std::size_t length = 0;
        const std::size_t start = number_at(out, at, length);
        if (start == std::string::npos) return out;
        return out.replace(start, length, hostile_value());
    }
    }
}

std::string Mutator::nest(const std::string& text, const std::string& key, int levels) {
    const bool arrays = below(2) == 0;
    std::string open;
    std::string close;
    open.reserve(static_cast<std::size_t>(levels) * 6);
    for (int i = 0; i < levels; ++i) {
        open += arrays ? "[" : "{\"a\": ";
        close += arrays ? "]" : "}";
    }
    const std::size_t found = key.empty() ? std::string::npos : text.find("\"" + key + "\"");
    if (found == std::string::npos) return open + text + close;
    const std::size_t colon = text.find(':', found);
    if (colon == std::string::npos) return open + text + close;
    // The value is wrapped where it starts; the closing brackets go before the rest of the line,
    // so the document may end up malformed too, which is fine.
    const std::size_t value = colon + 1;
    std::size_t end = text.find_first_of(",}\n", value);
    if (end == std::string::npos) end = text.size();
    return text.substr(0, value) + open + text.substr(value, end - value) + close +
           text.substr(end);
}

}  // namespace tonemix_fuzz
