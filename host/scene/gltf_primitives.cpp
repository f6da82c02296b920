#include "host/scene/gltf_primitives.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

#include "host/scene/gltf_accessors.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

// A triangle primitive whose accessors all passed their checks.
struct Primitive {
    std::string name;  // "mesh 0 primitive 1"
    int mode = TINYGLTF_MODE_TRIANGLES;
    int position_accessor = 0;
    AccessorElements positions;
    std::optional<AccessorElements> normals;
    std::optional<AccessorElements> colours;
    std::optional<AccessorElements> indices;
    int indices_accessor = -1;
    std::size_t triangles = 0;
};

// What one mesh of the file makes, the same wherever nodes place it.
struct CheckedMesh {
    std::vector<Primitive> primitives;
    std::size_t points_or_lines = 0;
    bool morphed = false;
};

std::size_t triangle_count(int mode, std::size_t elements) {
    if (mode == TINYGLTF_MODE_TRIANGLES) return elements / 3;
    return elements >= 3 ? elements - 2 : 0;  // a strip or a fan
}

std::optional<AccessorElements> optional_attribute(const tinygltf::Model& model,
                                                   const tinygltf::Primitive& primitive,
                                                   const char* attribute, AccessorUse use,
                                                   const Primitive& checked,
                                                   const std::string& path) {
    const auto found = primitive.attributes.find(attribute);
    if (found == primitive.attributes.end()) return std::nullopt;
    const AccessorElements elements =
        checked_accessor(model, found->second, use, checked.name, path);
    if (elements.count != checked.positions.count) {
        fail(path, checked.name + ": " + accessor_name(use, found->second) + " has " +
                       std::to_string(elements.count) + " elements, " +
                       accessor_name(AccessorUse::position, checked.position_accessor) + " " +
                       std::to_string(checked.positions.count));
    }
    return elements;
}

CheckedMesh checked_mesh(const tinygltf::Model& model, std::size_t index, const std::string& path) {
    const tinygltf::Mesh& mesh = model.meshes[index];
    CheckedMesh checked;
    for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
        const tinygltf::Primitive& primitive = mesh.primitives[p];
        if (!primitive.targets.empty()) checked.morphed = true;
        Primitive out;
        out.name = "mesh " + std::to_string(index) + " primitive " + std::to_string(p);
        out.mode = primitive.mode;
        if (out.mode >= TINYGLTF_MODE_POINTS && out.mode <= TINYGLTF_MODE_LINE_STRIP) {
            ++checked.points_or_lines;
            continue;
        }
        if (out.mode < TINYGLTF_MODE_TRIANGLES || out.mode > TINYGLTF_MODE_TRIANGLE_FAN) {
            fail(path,
                 out.name + ": mode " + std::to_string(out.mode) + " is no kind of primitive");
        }
        const auto position = primitive.attributes.find("POSITION");
        if (position == primitive.attributes.end()) fail(path, out.name + ": no POSITION");
        out.position_accessor = position->second;
        out.positions =
            checked_accessor(model, position->second, AccessorUse::position, out.name, path);
        out.normals =
            optional_attribute(model, primitive, "NORMAL", AccessorUse::normal, out, path);
        out.colours =
            optional_attribute(model, primitive, "COLOR_0", AccessorUse::colour, out, path);
        std::size_t elements = out.positions.count;
        if (primitive.indices >= 0) {
            out.indices_accessor = primitive.indices;
            out.indices =
                checked_accessor(model, primitive.indices, AccessorUse::indices, out.name, path);
            elements = out.indices->count;
        }
        out.triangles = triangle_count(out.mode, elements);
        checked.primitives.push_back(std::move(out));
    }
    return checked;
}

void check_triangle_limit(std::uint64_t triangles, std::size_t max_triangles,
                          const std::string& path) {
    if (triangles <= max_triangles) return;
    fail(path, triangle_limit_text(triangles, max_triangles));
}

// The vertex of each element of the primitive, in the order the mode reads them.
std::vector<std::uint32_t> element_vertices(const Primitive& primitive, const std::string& path) {
    const std::size_t count =
        primitive.indices ? primitive.indices->count : primitive.positions.count;
    std::vector<std::uint32_t> vertices(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (!primitive.indices) {
            vertices[i] = static_cast<std::uint32_t>(i);
            continue;
        }
        vertices[i] = index_element(*primitive.indices, i);
        if (vertices[i] >= primitive.positions.count) {
            fail(path, primitive.name + ": " +
                           accessor_name(AccessorUse::indices, primitive.indices_accessor) +
                           ": index " + std::to_string(vertices[i]) + " (element " +
                           std::to_string(i) + ") is out of range of the " +
                           std::to_string(primitive.positions.count) + " vertices");
        }
    }
    return vertices;
}

// The three elements of triangle t, as the mode numbers them; strips alternate their winding so
// that every triangle faces the same way.
std::array<std::size_t, 3> triangle_elements(int mode, std::size_t t) {
    if (mode == TINYGLTF_MODE_TRIANGLES) return {3 * t, 3 * t + 1, 3 * t + 2};
    if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
        return t % 2 == 0 ? std::array<std::size_t, 3>{t, t + 1, t + 2}
                          : std::array<std::size_t, 3>{t + 1, t, t + 2};
    }
    return {t + 1, t + 2, 0};
}

const Colour kWhite{1.0f, 1.0f, 1.0f};

// Appends the primitive as the node places it: only the vertices its triangles use, so that a
// large vertex array shared by many small primitives is not copied once per primitive.
void add_primitive(const Primitive& primitive, const NodeVisit& visit,
                   const NormalMatrix& normal_matrix, const std::string& path, MeshSource& mesh) {
    const std::vector<std::uint32_t> vertices = element_vertices(primitive, path);
    // The used vertices in ascending order, and each one's place among them. A primitive that
    // uses much of its vertex array is marked in a table as long as the array; a small one of a
    // large shared array is sorted instead, so that neither costs more than its size.
    constexpr std::uint32_t kUnused = 0xffffffffu;
    const std::size_t array = primitive.positions.count;
    const bool dense = primitive.indices && array <= 4 * vertices.size() + 1024;
    std::vector<std::uint32_t> place;
    std::vector<std::uint32_t> used;
    if (dense) {
        place.assign(array, kUnused);
        for (const std::uint32_t vertex : vertices) place[vertex] = 0;
        for (std::size_t vertex = 0; vertex < array; ++vertex) {
            if (place[vertex] == kUnused) continue;
            place[vertex] = static_cast<std::uint32_t>(used.size());
            used.push_back(static_cast<std::uint32_t>(vertex));
        }
    } else {
        used = vertices;
        if (primitive.indices) {
            std::sort(used.begin(), used.end());
            used.erase(std::unique(used.begin(), used.end()), used.end());
        }
    }
    const std::string positions_name =
        primitive.name + ": " + accessor_name(AccessorUse::position, primitive.position_accessor);
    const std::size_t first_position = mesh.positions.size();
    const std::size_t first_normal = mesh.normals.size();
    for (std::uint32_t vertex : used) {
        const Vec3 local = vec3_element(primitive.positions, vertex);
        if (!is_finite(local)) {
            fail(path, positions_name + ": vertex " + std::to_string(vertex) + " is not finite");
        }
        const Vec3 world = transform_point(visit.world, local);
        if (!is_finite(world)) {
            fail(path, "node " + std::to_string(visit.node) + ": its transform takes vertex " +
                           std::to_string(vertex) + " of " + primitive.name +
                           " beyond the range of a double");
        }
        mesh.positions.push_back(world);
        if (primitive.normals) {
            const Vec3 normal = vec3_element(*primitive.normals, vertex);
            if (!is_finite(normal)) {
                fail(path, primitive.name + ": NORMAL of vertex " + std::to_string(vertex) +
                               " is not finite");
            }
            mesh.normals.push_back(transform_normal(normal_matrix, normal));
        }
    }
    if (primitive.colours && mesh.colours.size() < first_position) {
        mesh.colours.resize(first_position, kWhite);  // the primitives before had none
    }
    if (primitive.colours) {
        for (std::uint32_t vertex : used) {
            const Colour colour = colour_element(*primitive.colours, vertex);
            if (!std::isfinite(colour[0]) || !std::isfinite(colour[1]) ||
                !std::isfinite(colour[2])) {
                fail(path, primitive.name + ": COLOR_0 of vertex " + std::to_string(vertex) +
                               " is not finite");
            }
            mesh.colours.push_back(colour);
        }
    } else if (!mesh.colours.empty()) {
        mesh.colours.resize(mesh.positions.size(), kWhite);
    }
    const auto slot = [&](std::uint32_t vertex) {
        if (!primitive.indices) return static_cast<std::size_t>(vertex);
        if (dense) return static_cast<std::size_t>(place[vertex]);
        return static_cast<std::size_t>(std::lower_bound(used.begin(), used.end(), vertex) -
                                        used.begin());
    };
    for (std::size_t t = 0; t < primitive.triangles; ++t) {
        const std::array<std::size_t, 3> elements = triangle_elements(primitive.mode, t);
        std::array<MeshCorner, 3> triangle;
        for (std::size_t c = 0; c < 3; ++c) {
            const std::size_t at = slot(vertices[elements[c]]);
            triangle[c].position = static_cast<std::uint32_t>(first_position + at);
            if (primitive.normals)
                triangle[c].normal = static_cast<std::int32_t>(first_normal + at);
        }
        mesh.triangles.push_back(triangle);
    }
}

}  // namespace

MeshSource scene_mesh(const tinygltf::Model& model, const std::vector<NodeVisit>& visits,
                      std::size_t max_triangles, const std::string& path,
                      LeftOutGeometry& left_out) {
    std::vector<std::optional<CheckedMesh>> meshes(model.meshes.size());
    std::uint64_t triangles = 0;
    for (const NodeVisit& visit : visits) {
        const int index = model.nodes[static_cast<std::size_t>(visit.node)].mesh;
        if (index < 0) continue;
        if (static_cast<std::size_t>(index) >= model.meshes.size()) {
            fail(path, "node " + std::to_string(visit.node) + ": mesh " + std::to_string(index) +
                           " does not exist");
        }
        std::optional<CheckedMesh>& mesh = meshes[static_cast<std::size_t>(index)];
        if (!mesh) mesh = checked_mesh(model, static_cast<std::size_t>(index), path);
        left_out.point_or_line_primitives += mesh->points_or_lines;
        if (mesh->morphed) ++left_out.morphed_meshes;
        for (const Primitive& primitive : mesh->primitives) triangles += primitive.triangles;
    }
    check_triangle_limit(triangles, max_triangles, path);

    MeshSource source;
    source.origin_kind = "face";
    source.triangles.reserve(static_cast<std::size_t>(triangles));
    for (const NodeVisit& visit : visits) {
        const int index = model.nodes[static_cast<std::size_t>(visit.node)].mesh;
        if (index < 0) continue;
        const NormalMatrix normals = normal_matrix(visit.world);
        for (const Primitive& primitive : meshes[static_cast<std::size_t>(index)]->primitives) {
            add_primitive(primitive, visit, normals, path, source);
        }
    }
    return source;
}

}  // namespace tmhost
