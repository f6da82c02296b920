#include "host/scene/ply_body.h"

#include <cmath>

#include <string>

namespace tmhost::ply {

[[noreturn]] void fail_too_many(const std::string& path, std::uint64_t triangles,
                                std::size_t max_triangles) {
    fail(path, triangle_limit_text(triangles, max_triangles));
}

void check_corner_count(std::int64_t corners, const std::string& path, const Place& place) {
    if (corners < 3) fail_at(path, place, "a face needs at least 3 corners");
    if (static_cast<std::uint64_t>(corners) > kMaxFaceCorners) {
        fail_at(path, place, "a face of more than " + std::to_string(kMaxFaceCorners) + " corners");
    }
}

void FaceSink::add(std::int64_t index, const std::string& path, const Place& place,
                   std::uint32_t origin) {
    if (index < 0) fail_at(path, place, "negative vertex index " + std::to_string(index));
    if (static_cast<std::uint64_t>(index) >= vertices) {
        fail_at(path, place,
                "vertex index " + std::to_string(index) + " out of range (" +
                    std::to_string(vertices) + " vertices)");
    }
    const auto vertex = static_cast<std::uint32_t>(index);
    if (corner == 0) {
        first = vertex;
    } else if (corner >= 2 && ++triangles <= max_triangles) {
        const auto normal = [this](std::uint32_t v) {
            return normals ? static_cast<std::int32_t>(v) : -1;
        };
        mesh.triangles.push_back({MeshCorner{first, normal(first)},
                                  MeshCorner{previous, normal(previous)},
                                  MeshCorner{vertex, normal(vertex)}});
        mesh.origins.push_back(origin);
    }
    previous = vertex;
    ++corner;
}

double scaled(double value, Type type, Role role) {
    if (role < Role::red || role > Role::blue) return value;
    if (type == Type::uint8) return value / 255.0;
    if (type == Type::uint16) return value / 65535.0;
    return value;
}

void add_vertex(MeshSource& mesh, const Header& header, const VertexValues& v,
                const std::string& path, const Place& place) {
    const auto at = [&v](Role role) { return v[static_cast<int>(role)]; };
    mesh.positions.push_back({at(Role::x), at(Role::y), at(Role::z)});
    if (header.normals) mesh.normals.push_back({at(Role::nx), at(Role::ny), at(Role::nz)});
    if (header.colours) {
        const Colour colour{static_cast<float>(at(Role::red)), static_cast<float>(at(Role::green)),
                            static_cast<float>(at(Role::blue))};
        static const char* const kChannels[] = {"red", "green", "blue"};
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(colour[k])) {
                fail_at(path, place, std::string(kChannels[k]) + " out of range");
            }
        }
        mesh.colours.push_back(colour);
    }
    mesh.position_origins.push_back(static_cast<std::uint32_t>(place.number));
}

}  // namespace tmhost::ply
