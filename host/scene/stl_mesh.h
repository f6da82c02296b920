// Triangle meshes from STL files, text or binary.
#ifndef TMHOST_STL_MESH_H
#define TMHOST_STL_MESH_H

#include <cstddef>
#include <string>

#include "host/scene/mesh_source.h"

namespace tmhost {

// Three positions a facet, in the file's order; the facets' own normals are left out, as files
// often carry zero or wrong ones, so every corner's normal is -1. A triangle's origin is its
// facet's line in a text file and its number (counting from 1) in a binary one. Throws SceneError
// "<path>: line N: what" for a text file, "<path>: triangle N: what" or "<path>: what" for a
// binary one: malformed text, a number that is not finite, a binary file shorter than its count
// says (refused before anything is allocated for it), no triangles, more than `max_triangles`.
// `path` names the file in messages only.
MeshSource parse_stl_mesh(const std::string& bytes, const std::string& path,
                          std::size_t max_triangles);

}  // namespace tmhost

#endif
