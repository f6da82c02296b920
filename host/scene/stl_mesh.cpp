#include "host/scene/stl_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "host/scene/mesh_text.h"
#include "host/scene/obj_numbers.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

constexpr std::size_t kBinaryHeader = 84;  // 80 bytes of anything, then the triangle count
constexpr std::size_t kBinaryTriangle = 50;

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

[[noreturn]] void fail_line(const std::string& path, std::size_t line, const std::string& what) {
    fail_at_line(path, line, what);
}

[[noreturn]] void fail_too_many(const std::string& path, std::uint64_t triangles,
                                std::size_t max_triangles) {
    fail(path, triangle_limit_text(triangles, max_triangles));
}

// Every facet's three positions make one triangle, in the file's order.
void make_triangles(MeshSource& mesh) {
    const std::size_t triangles = mesh.positions.size() / 3;
    mesh.triangles.reserve(triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
        const auto first = static_cast<std::uint32_t>(3 * t);
        mesh.triangles.push_back(
            {MeshCorner{first, -1}, MeshCorner{first + 1, -1}, MeshCorner{first + 2, -1}});
    }
}

// ---- binary

std::uint32_t uint32_at(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The float's bits copied whole, never converted through text: both builds read the same bits.
double float_at(const unsigned char* p) {
    const std::uint32_t bits = uint32_at(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t binary_count(const std::string& bytes) {
    return uint32_at(reinterpret_cast<const unsigned char*>(bytes.data()) + 80);
}

// No sum overflows: 50 times a 32-bit count is below 2^38.
std::uint64_t binary_size(std::uint32_t count) {
    return kBinaryHeader + static_cast<std::uint64_t>(count) * kBinaryTriangle;
}

// Bytes after the triangles are left alone: some exporters pad the file.
MeshSource read_binary(const std::string& bytes, const std::string& path,
                       std::size_t max_triangles) {
    const std::uint32_t count = binary_count(bytes);
    if (binary_size(count) > bytes.size()) {
        fail(path, "binary STL of " + std::to_string(count) + " triangles needs " +
                       std::to_string(binary_size(count)) + " bytes, the file has " +
                       std::to_string(bytes.size()));
    }
    if (count == 0) fail(path, "no triangles");
    if (count > max_triangles) fail_too_many(path, count, max_triangles);
    MeshSource mesh;
    mesh.origin_kind = "face";
    mesh.positions.reserve(static_cast<std::size_t>(count) * 3);
    mesh.origins.reserve(count);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::uint32_t t = 0; t < count; ++t) {
        // The facet's normal (the first 12 bytes) and its attribute (the last 2) are not used.
        const unsigned char* at = data + kBinaryHeader + std::size_t{t} * kBinaryTriangle + 12;
        for (int k = 0; k < 3; ++k, at += 12) {
            const Vec3 position{float_at(at), float_at(at + 4), float_at(at + 8)};
            if (!is_finite(position)) {
                fail(path, "triangle " + std::to_string(t + 1) + ": vertex " +
                               std::to_string(k + 1) + " is not finite");
            }
            mesh.positions.push_back(position);
        }
        mesh.origins.push_back(t + 1);
    }
    make_triangles(mesh);
    return mesh;
}

// ---- text

bool begins_with_solid(const std::string& bytes) {
    std::size_t i = bytes.find_first_not_of(" \t\r\n");
    if (i == std::string::npos || bytes.compare(i, 5, "solid") != 0) return false;
    i += 5;
    return i == bytes.size() || bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' ||
           bytes[i] == '\n';
}

// NUL and the other control characters but tab and the line ends: in the floats and counts of
// every binary file, in no text.
bool holds_control_bytes(const std::string& bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7f;
    });
}

double coordinate(std::string_view token, const std::string& path, std::size_t line) {
    check_decimal(token, path, line);
    const double value = decimal_value(token);
    if (!std::isfinite(value)) fail_line(path, line, "number out of range: " + quoted_token(token));
    return value;
}

enum class Expect { solid, facet, loop, vertex, endfacet };

// Until its first facet a file that opens with "solid" may be some other text, whose content a
// message must not show: it is named for what it is not.
MeshSource read_text(const std::string& text, const std::string& path, std::size_t max_triangles) {
    MeshSource mesh;
    Expect expect = Expect::solid;
    bool seen_facet = false;
    int corners = 0;
    std::size_t line = 0;
    TextLines lines(text);
    LineFields fields;
    std::string_view content;
    while (lines.next(content)) {
        line = lines.number();
        fields.split(content);
        if (fields.empty()) continue;
        const std::string_view keyword = fields[0];
        const auto wrong = [&](const char* expected) {
            if (!seen_facet) fail(path, "not an STL file");
            fail_line(path, line,
                      std::string("expected ") + expected + ", got " + quoted_token(keyword));
        };
        switch (expect) {
        case Expect::solid:
            if (keyword != "solid") wrong("\"solid\"");
            expect = Expect::facet;  // its name, if any, is not used
            break;
        case Expect::facet:
            if (keyword == "endsolid") {
                expect = Expect::solid;
                break;
            }
            if (keyword != "facet" || fields.size() < 2 || fields[1] != "normal") {
                wrong("\"facet normal\" or \"endsolid\"");
            }
            seen_facet = true;
            // The normal's values are not used, so neither are they held to be finite.
            if (fields.size() != 5) fail_line(path, line, "expected 3 values after facet normal");
            mesh.origins.push_back(static_cast<std::uint32_t>(line));
            expect = Expect::loop;
            break;
        case Expect::loop:
            if (keyword != "outer" || fields.size() != 2 || fields[1] != "loop") {
                wrong("\"outer loop\"");
            }
            corners = 0;
            expect = Expect::vertex;
            break;
        case Expect::vertex:
            if (keyword == "endloop") {
                if (corners != 3) {
                    fail_line(path, line,
                              "a facet of " + std::to_string(corners) + " vertices (3 expected)");
                }
                expect = Expect::endfacet;
                break;
            }
            if (keyword != "vertex") wrong("\"vertex\" or \"endloop\"");
            if (fields.size() != 4) fail_line(path, line, "expected 3 numbers after vertex");
            if (corners == 3) fail_line(path, line, "a facet of more than 3 vertices");
            mesh.positions.push_back({coordinate(fields[1], path, line),
                                      coordinate(fields[2], path, line),
                                      coordinate(fields[3], path, line)});
            mesh.position_origins.push_back(static_cast<std::uint32_t>(line));
            ++corners;
            break;
        case Expect::endfacet:
            if (keyword != "endfacet") wrong("\"endfacet\"");
            expect = Expect::facet;
            break;
        }
    }
    if (!seen_facet) fail(path, "no triangles");
    if (expect != Expect::solid) fail_line(path, line, "the file ends within a solid");
    // Counted before the triangles are made; the positions are bounded by the text's size.
    if (mesh.origins.size() > max_triangles) {
        fail_too_many(path, mesh.origins.size(), max_triangles);
    }
    make_triangles(mesh);
    return mesh;
}

}  // namespace

MeshSource parse_stl_mesh(const std::string& bytes, const std::string& path,
                          std::size_t max_triangles) {
    // A binary file has no mark of its own, and many exporters begin its 80 free bytes with
    // "solid" as a text file begins. A file whose size is exactly what its count says is binary
    // whatever its first word: the count field of a text file holds characters, the last of them
    // a tab at least, so its count is at least 0x09000000, some 7.5 GB of triangles: more than
    // any file that a 32-bit process can hold.
    if (bytes.size() >= kBinaryHeader && binary_size(binary_count(bytes)) == bytes.size()) {
        return read_binary(bytes, path, max_triangles);
    }
    if (begins_with_solid(bytes)) {
        try {
            return read_text(bytes, path, max_triangles);
        } catch (const SceneError&) {
            // A binary file that opens with "solid": padded after its triangles, its count fits
            // its size, which no text file's does (see above); cut short, it still holds bytes
            // that no text holds, and is named for what its count lacks.
            if (bytes.size() < kBinaryHeader ||
                (binary_size(binary_count(bytes)) > bytes.size() && !holds_control_bytes(bytes))) {
                throw;
            }
        }
        return read_binary(bytes, path, max_triangles);
    }
    if (bytes.size() < kBinaryHeader) fail(path, "not an STL file");
    return read_binary(bytes, path, max_triangles);
}

}  // namespace tmhost
