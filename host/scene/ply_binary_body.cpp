// The body of a binary PLY file, in either byte order.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/scene/ply_body.h"

namespace tmhost::ply {

namespace {

// Values are put together from their bytes, never read through the machine's own order, and a
// float's bits are copied whole: both builds read every file to the same bits.
std::uint64_t bits_at(const unsigned char* p, std::size_t size, bool big) {
    std::uint64_t bits = 0;
    if (big) {
        for (std::size_t i = 0; i < size; ++i) bits = bits << 8 | p[i];
    } else {
        for (std::size_t i = size; i-- > 0;) bits = bits << 8 | p[i];
    }
    return bits;
}

std::int64_t integer_at(const unsigned char* p, Type type, bool big) {
    const std::uint64_t bits = bits_at(p, size_of(type), big);
    switch (type) {
    case Type::int8:
        return static_cast<std::int8_t>(static_cast<std::uint8_t>(bits));
    case Type::int16:
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
    case Type::int32:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    default:
        return static_cast<std::int64_t>(bits);
    }
}

double number_at(const unsigned char* p, Type type, bool big) {
    if (type == Type::float32) {
        const auto bits = static_cast<std::uint32_t>(bits_at(p, 4, big));
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    if (type == Type::float64) {
        const std::uint64_t bits = bits_at(p, 8, big);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    return static_cast<double>(integer_at(p, type, big));
}

struct BinaryBody {
    const unsigned char* data;
    std::size_t size;
    bool big;
};

// Where each element's instances begin, found by walking the lists of those whose size varies,
// and the triangles the faces make: all known before anything is reserved for them.
struct Layout {
    std::vector<std::size_t> starts;
    std::uint64_t triangles = 0;
};

Layout lay_out(const BinaryBody& body, const Header& header, const std::string& path) {
    Layout layout;
    std::size_t at = header.body;
    for (const Element& e : header.elements) {
        layout.starts.push_back(at);
        const std::string name = printable(e.name);
        std::size_t fixed = 0;
        bool lists = false;
        for (const Property& p : e.properties) {
            fixed += size_of(p.type);
            lists = lists || p.list;
        }
        if (!lists) {
            if (fixed == 0) continue;
            if (e.count > (body.size - at) / fixed) {
                fail_at(path, {name, (body.size - at) / fixed + 1}, "the file ends within it");
            }
            at += static_cast<std::size_t>(e.count) * fixed;
            continue;
        }
        for (std::uint64_t i = 0; i < e.count; ++i) {
            const Place place{name, i + 1};
            const auto need = [&](std::uint64_t bytes) {
                if (bytes > body.size - at) fail_at(path, place, "the file ends within it");
            };
            for (const Property& p : e.properties) {
                if (!p.list) {
                    need(size_of(p.type));
                    at += size_of(p.type);
                    continue;
                }
                need(size_of(p.count_type));
                const std::int64_t n = integer_at(body.data + at, p.count_type, body.big);
                at += size_of(p.count_type);
                if (n < 0) fail_at(path, place, "negative list count " + std::to_string(n));
                if (p.role == Role::corners) {
                    check_corner_count(n, path, place);
                    layout.triangles += static_cast<std::uint64_t>(n) - 2;
                }
                const std::uint64_t items = static_cast<std::uint64_t>(n) * size_of(p.type);
                need(items);
                at += static_cast<std::size_t>(items);
            }
        }
    }
    return layout;
}

// Reads one element laid out and checked before: no bound is passed.
void read_binary_element(const BinaryBody& body, std::size_t at, const Element& element,
                         bool is_vertex, const Header& header, MeshSource& mesh, FaceSink& faces,
                         const std::string& path) {
    const std::string_view kind = is_vertex ? "vertex" : "face";
    for (std::uint64_t i = 0; i < element.count; ++i) {
        const Place place{kind, i + 1};
        VertexValues values{};
        for (const Property& p : element.properties) {
            if (!p.list) {
                if (p.role != Role::other) {
                    const double value = number_at(body.data + at, p.type, body.big);
                    if (!std::isfinite(value)) {
                        fail_at(path, place, std::string(p.name) + " is not finite");
                    }
                    values[static_cast<int>(p.role)] = scaled(value, p.type, p.role);
                }
                at += size_of(p.type);
                continue;
            }
            const std::int64_t n = integer_at(body.data + at, p.count_type, body.big);
            at += size_of(p.count_type);
            const std::size_t item = size_of(p.type);
            if (p.role == Role::corners) {
                faces.corner = 0;
                for (std::int64_t k = 0; k < n; ++k, at += item) {
                    faces.add(integer_at(body.data + at, p.type, body.big), path, place,
                              static_cast<std::uint32_t>(i + 1));
                }
            } else {
                at += static_cast<std::size_t>(n) * item;
            }
        }
        if (is_vertex) add_vertex(mesh, header, values, path, place);
    }
}

}  // namespace

void read_binary_body(const std::string& bytes, const Header& header, MeshSource& mesh,
                      FaceSink& faces, const std::string& path) {
    const BinaryBody body{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                          header.format == Format::big_endian};
    const Layout layout = lay_out(body, header, path);
    if (layout.triangles > faces.max_triangles) {
        fail_too_many(path, layout.triangles, faces.max_triangles);
    }
    mesh.triangles.reserve(static_cast<std::size_t>(layout.triangles));
    mesh.origins.reserve(static_cast<std::size_t>(layout.triangles));
    mesh.origin_kind = "face";
    if (header.vertex >= 0) {
        read_binary_element(body, layout.starts[header.vertex], header.elements[header.vertex],
                            true, header, mesh, faces, path);
    }
    read_binary_element(body, layout.starts[header.face], header.elements[header.face], false,
                        header, mesh, faces, path);
}

}  // namespace tmhost::ply
