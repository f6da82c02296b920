#include "host/scene/ply_mesh.h"

#include <algorithm>
#include <cstdint>

#include "host/scene/ply_body.h"
#include "host/scene/ply_header.h"

namespace tmhost {

using namespace ply;

MeshSource parse_ply_mesh(const std::string& bytes, const std::string& path,
                          std::size_t max_triangles) {
    const Header header = read_header(bytes, path);
    if (header.face < 0 || header.elements[header.face].count == 0) fail(path, "no faces");
    check_counts(header, bytes.size() - header.body, path);

    MeshSource mesh;
    const Element* vertex = header.vertex >= 0 ? &header.elements[header.vertex] : nullptr;
    const Element& face = header.elements[header.face];
    const std::size_t vertices = vertex != nullptr ? static_cast<std::size_t>(vertex->count) : 0;
    mesh.positions.reserve(vertices);
    mesh.position_origins.reserve(vertices);
    if (header.normals) mesh.normals.reserve(vertices);
    if (header.colours) mesh.colours.reserve(vertices);
    FaceSink faces{mesh, vertices, header.normals, max_triangles};

    if (header.format == Format::ascii) {
        // A face gives at least one triangle; the count past the limit is known only at the end.
        const std::size_t least = static_cast<std::size_t>(
            std::min<std::uint64_t>(face.count, static_cast<std::uint64_t>(max_triangles)));
        mesh.triangles.reserve(least);
        mesh.origins.reserve(least);
        read_text_body(bytes, header, mesh, faces, path);
        if (faces.triangles > max_triangles) fail_too_many(path, faces.triangles, max_triangles);
        return mesh;
    }
    read_binary_body(bytes, header, mesh, faces, path);
    return mesh;
}

}  // namespace tmhost
