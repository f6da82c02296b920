// Triangle meshes from Stanford PLY files: text, or binary in either byte order.
#ifndef TMHOST_PLY_MESH_H
#define TMHOST_PLY_MESH_H

#include <cstddef>
#include <string>

#include "host/scene/mesh_source.h"

namespace tmhost {

// The file's vertices (x, y and z of any numeric type), their normals (nx, ny, nz) and colours
// (red, green, blue: uchar over 255, ushort over 65535, float and double as they are) where it
// gives them, and its faces' vertex index lists as fans from their first corner. Other elements
// and properties are skipped. A triangle's origin is its face's line in a text file and its face
// (counting from 1) in a binary one; a position's, its vertex's line or number likewise.
// Throws SceneError "<path>: line N: what" for a fault of the header or of a text body, and
// "<path>: face N: what" (or vertex N) for one of a binary body: a file that is not PLY, an
// unknown format or type, a count that the file's bytes cannot hold (refused before anything is
// allocated for it), a number that is not finite, an index out of range, a face of fewer than 3
// or more than kMaxFaceCorners corners, no faces, more than `max_triangles` triangles. `path`
// names the file in messages only.
MeshSource parse_ply_mesh(const std::string& bytes, const std::string& path,
                          std::size_t max_triangles);

}  // namespace tmhost

#endif
