// Triangle meshes from Wavefront OBJ files, placed in a scene by a transform.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "host/scene/scene.h"
#include "host/scene/scene_error.h"
#include "host/scene/vec3.h"

namespace tmhost {

// Scale (per axis, each > 0), then rotation about x, then y, then z (degrees, counter-clockwise
// looking down each axis toward the origin), then translation.
struct MeshTransform {
    Vec3 scale{1.0, 1.0, 1.0};
    Vec3 rotate_degrees;
    Vec3 translate;
};

class MeshTransformError : public SceneError {
public:
    using SceneError::SceneError;
};

// The most triangles the meshes of one scene hold together: some 250 MB of triangles and tree at
// the peak of the tree's build, well inside what a 32-bit process can allocate.
constexpr std::size_t kMaxSceneTriangles = 2000000;

// The file's faces (polygons as fans from their first corner, so convex ones come out right) and
// its normals where a face gives one at each corner. Throws SceneError "<path>: line N: what" for
// a fault that has a line, "<path>: what" otherwise: a file that cannot be read, a malformed or
// unknown statement, an index out of range, a number that is not finite, a vertex beyond the
// coordinate limit after the transform, a zero normal, a triangle of zero area, no faces, more
// than `max_triangles` triangles (what is left of the scene's limit). A triangle with area in the
// file and none once transformed is the transform's fault, not the file's: MeshTransformError,
// "the transform leaves triangle (vertices 1, 2, 3) of <path> line N without area".
std::shared_ptr<const MeshData> load_obj_mesh(const std::string& path,
                                              const MeshTransform& transform,
                                              std::size_t max_triangles = kMaxSceneTriangles);

// The same for the file's text, `path` naming it in messages only.
std::shared_ptr<const MeshData> parse_obj_mesh(const std::string& text, const std::string& path,
                                               const MeshTransform& transform,
                                               std::size_t max_triangles = kMaxSceneTriangles);

}  // namespace tmhost
