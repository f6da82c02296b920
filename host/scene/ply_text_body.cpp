// The body of a text PLY file: one line an instance, values split at spaces and tabs.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "host/scene/obj_numbers.h"
#include "host/scene/ply_body.h"

namespace tmhost::ply {

namespace {

struct TextCursor {
    const std::string& bytes;
    std::size_t at;
    std::size_t line;

    // The next line that holds anything.
    bool next(std::string_view& content) {
        while (at < bytes.size()) {
            content = next_line(bytes, at);
            ++line;
            if (content.find_first_not_of(" \t") != std::string_view::npos) return true;
        }
        return false;
    }
};

std::int64_t text_integer(std::string_view token, const char* what, const std::string& path,
                          const Place& place) {
    const std::size_t sign = !token.empty() && (token[0] == '-' || token[0] == '+') ? 1 : 0;
    if (token.size() == sign || token.size() - sign > 18 ||
        !std::all_of(token.begin() + static_cast<std::ptrdiff_t>(sign), token.end(), is_digit)) {
        fail_at(path, place, std::string("expected ") + what + ", got " + quoted(token));
    }
    std::int64_t value = 0;
    for (std::size_t i = sign; i < token.size(); ++i) value = value * 10 + (token[i] - '0');
    return token[0] == '-' ? -value : value;
}

double text_value(std::string_view token, Type type, const std::string& path, const Place& place) {
    if (is_integer(type)) {
        static const std::int64_t kLeast[] = {-128, 0, -32768, 0, INT32_MIN, 0};
        static const std::int64_t kMost[] = {127, 255, 32767, 65535, INT32_MAX, UINT32_MAX};
        const std::int64_t value = text_integer(token, "an integer", path, place);
        const int t = static_cast<int>(type);
        if (value < kLeast[t] || value > kMost[t]) {
            fail_at(path, place, std::to_string(value) + " out of range for " + type_name(type));
        }
        return static_cast<double>(value);
    }
    if (!is_decimal(token)) {
        fail_at(path, place, "expected a finite decimal number, got " + quoted(token));
    }
    const double value = decimal_value(token);
    if (!std::isfinite(value)) fail_at(path, place, "number out of range: " + quoted(token));
    return value;
}

}  // namespace

void read_text_body(const std::string& bytes, const Header& header, MeshSource& mesh,
                    FaceSink& faces, const std::string& path) {
    TextCursor cursor{bytes, header.body, header.lines};
    for (std::size_t e = 0; e < header.elements.size(); ++e) {
        const Element& element = header.elements[e];
        if (element.properties.empty()) continue;  // nothing to read, however many
        const bool is_vertex = static_cast<int>(e) == header.vertex;
        const std::string name = printable(element.name);
        for (std::uint64_t i = 0; i < element.count; ++i) {
            std::string_view content;
            if (!cursor.next(content)) {
                fail_line(path, cursor.line,
                          "the file ends within element " + name + " (" + std::to_string(i) +
                              " of " + std::to_string(element.count) + " read)");
            }
            const Place place{"line", cursor.line};
            const auto origin = static_cast<std::uint32_t>(cursor.line);
            Fields fields{content};
            std::string_view token;
            const auto next = [&]() {
                if (!fields.next(token)) fail_at(path, place, "too few values for element " + name);
            };
            VertexValues values{};
            for (const Property& p : element.properties) {
                next();
                if (p.list) {
                    const std::int64_t n = text_integer(token, "a list count", path, place);
                    if (n < 0) fail_at(path, place, "negative list count " + std::to_string(n));
                    if (p.role == Role::corners) {
                        check_corner_count(n, path, place);
                        faces.corner = 0;
                    }
                    // However large the count, the line's values run out first.
                    for (std::int64_t k = 0; k < n; ++k) {
                        next();
                        if (p.role == Role::corners) {
                            faces.add(text_integer(token, "a vertex index", path, place), path,
                                      place, origin);
                        }
                    }
                } else if (p.role != Role::other) {
                    values[static_cast<int>(p.role)] =
                        scaled(text_value(token, p.type, path, place), p.type, p.role);
                }
            }
            if (fields.next(token)) {
                fail_at(path, place, "more values than the properties of element " + name);
            }
            if (is_vertex) add_vertex(mesh, header, values, path, place);
        }
    }
    std::string_view content;
    if (cursor.next(content)) fail_line(path, cursor.line, "more lines than the header's elements");
}

}  // namespace tmhost::ply
