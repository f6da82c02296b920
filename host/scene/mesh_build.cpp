#include <algorithm>
#include <cmath>

#include "host/scene/angles.h"
#include "host/scene/json_fields.h"
#include "host/scene/mesh_source.h"
#include "host/scene/ray_offset.h"

namespace tmhost {

namespace {

struct Rotation {
    SineCosine x, y, z;

    Vec3 apply(Vec3 v) const {
        v = {v.x, x.cosine * v.y - x.sine * v.z, x.sine * v.y + x.cosine * v.z};
        v = {y.cosine * v.x + y.sine * v.z, v.y, y.cosine * v.z - y.sine * v.x};
        return {z.cosine * v.x - z.sine * v.y, z.sine * v.x + z.cosine * v.y, v.z};
    }
};

bool has_unit_direction(const Vec3& v) {
    const double squared = dot(v, v);
    return squared > 0.0 && std::isfinite(squared) && is_finite(normalize(v));
}

std::string plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "line 12" or "face 12": where the file states triangle `t`.
std::string triangle_place(const MeshSource& source, std::size_t t) {
    if (t < source.origins.size()) {
        return std::string(source.origin_kind) + " " + std::to_string(source.origins[t]);
    }
    return "triangle " + std::to_string(t + 1);
}

std::string position_place(const MeshSource& source, std::size_t p) {
    if (p < source.position_origins.size()) {
        return std::string(source.origin_kind) + " " + std::to_string(source.position_origins[p]);
    }
    return "vertex " + std::to_string(p + 1);
}

Colour clamped(const Colour& colour) {
    return {std::clamp(colour[0], 0.0f, 1.0f), std::clamp(colour[1], 0.0f, 1.0f),
            std::clamp(colour[2], 0.0f, 1.0f)};
}

}  // namespace

std::string triangle_limit_text(std::uint64_t triangles, std::size_t max_triangles) {
    const std::string limit = std::to_string(kMaxSceneTriangles);
    return std::to_string(triangles) + " triangles, more than " +
           (max_triangles == kMaxSceneTriangles
                ? "a scene's meshes may hold (" + limit + ")"
                : "the " + std::to_string(max_triangles) +
                      " that the scene's other meshes leave of " + limit);
}

std::string repairs_line(const std::string& path, const MeshRepairs& repairs) {
    return path + ": " +
           plural(repairs.zero_normals, "normal of zero length", "normals of zero length") +
           " replaced, " +
           plural(repairs.degenerate_triangles, "degenerate triangle", "degenerate triangles") +
           " left out";
}

BuiltMesh build_mesh(const MeshSource& source, const std::string& path,
                     const MeshTransform& transform) {
    const Rotation rotation{sine_cosine_degrees(transform.rotate_degrees.x),
                            sine_cosine_degrees(transform.rotate_degrees.y),
                            sine_cosine_degrees(transform.rotate_degrees.z)};
    std::vector<Vec3> vertices(source.positions.size());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const Vec3& file = source.positions[i];
        if (!is_finite(file)) {
            throw SceneError(path + ": " + position_place(source, i) + ": coordinate out of range");
        }
        const Vec3 scaled{file.x * transform.scale.x, file.y * transform.scale.y,
                          file.z * transform.scale.z};
        vertices[i] = rotation.apply(scaled) + transform.translate;
        if (!is_finite(vertices[i]) || largest_coordinate(vertices[i]) > kMaxCoordinate) {
            throw SceneError(path + ": " + position_place(source, i) + ": vertex beyond " +
                             kMaxCoordinateText + " once transformed");
        }
    }

    BuiltMesh built;
    auto mesh = std::make_shared<MeshData>();
    mesh->triangles.reserve(source.triangles.size());
    mesh->normals.resize(source.normals.size());
    // A normal that has no direction is replaced by the face's own on every triangle that names it.
    std::vector<bool> usable(source.normals.size(), false);
    for (std::size_t i = 0; i < mesh->normals.size(); ++i) {
        const Vec3& file = source.normals[i];
        // A normal follows the inverse of the scale, so that it stays square to the surface.
        const Vec3 turned = rotation.apply(
            {file.x / transform.scale.x, file.y / transform.scale.y, file.z / transform.scale.z});
        if (is_finite(file) && has_unit_direction(turned)) {
            mesh->normals[i] = normalize(turned);
            usable[i] = true;
        } else {
            ++built.repairs.zero_normals;
        }
    }
    const bool coloured = !source.colours.empty();
    if (coloured) mesh->corner_colours.reserve(source.triangles.size());

    for (std::size_t t = 0; t < source.triangles.size(); ++t) {
        const std::array<MeshCorner, 3>& corners = source.triangles[t];
        MeshTriangle triangle;
        triangle.corner = vertices[corners[0].position];
        triangle.edge1 = vertices[corners[1].position] - triangle.corner;
        triangle.edge2 = vertices[corners[2].position] - triangle.corner;
        if (!has_unit_direction(cross(triangle.edge1, triangle.edge2))) {
            const auto in_file = [&](int k) { return source.positions[corners[k].position]; };
            // A far translate or a tiny scale can leave a sound triangle without area: that is
            // the placement's fault, which leaving the triangle out would hide.
            if (has_unit_direction(cross(in_file(1) - in_file(0), in_file(2) - in_file(0)))) {
                throw MeshTransformError("the transform leaves triangle (vertices " +
                                         std::to_string(corners[0].position + 1) + ", " +
                                         std::to_string(corners[1].position + 1) + ", " +
                                         std::to_string(corners[2].position + 1) + ") of " + path +
                                         " " + triangle_place(source, t) + " without area");
            }
            ++built.repairs.degenerate_triangles;
            continue;
        }
        const auto has_normal = [&](int k) {
            return corners[k].normal >= 0 && usable[static_cast<std::size_t>(corners[k].normal)];
        };
        if (has_normal(0) && has_normal(1) && has_normal(2)) {
            triangle.normals = {corners[0].normal, corners[1].normal, corners[2].normal};
        }
        mesh->triangles.push_back(triangle);
        if (coloured) {
            mesh->corner_colours.push_back({clamped(source.colours[corners[0].position]),
                                            clamped(source.colours[corners[1].position]),
                                            clamped(source.colours[corners[2].position])});
        }
    }
    if (mesh->triangles.empty()) throw SceneError(path + ": no triangles of non-zero area");
    built.data = std::move(mesh);
    return built;
}

}  // namespace tmhost
