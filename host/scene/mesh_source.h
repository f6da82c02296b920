// A triangle mesh as a model file holds it, before it is placed in a scene: what every reader of
// a mesh format (OBJ, PLY, STL, glTF) answers, and what one builder turns into the tracer's
// MeshData. Readers check what only they can (the file's structure, its numbers, its indices);
// the builder places the mesh and mends what real files hold and a render cannot use.
#ifndef TMHOST_MESH_SOURCE_H
#define TMHOST_MESH_SOURCE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/scene/scene.h"
#include "host/scene/scene_error.h"
#include "host/scene/vec3.h"

namespace tmhost {

// The most triangles the meshes of one scene hold together: some 250 MB of triangles and tree at
// the peak of the tree's build, well inside what a 32-bit process can allocate.
constexpr std::size_t kMaxSceneTriangles = 2000000;

// "N triangles, more than a scene's meshes may hold (2000000)", or "... more than the M that the
// scene's other meshes leave of 2000000": every mesh format refuses a file so, before it builds
// a triangle.
std::string triangle_limit_text(std::uint64_t triangles, std::size_t max_triangles);

// The most corners one polygon of a file may have: far beyond what real files hold, and a bound
// on the fan one face line can make.
constexpr std::size_t kMaxFaceCorners = 65536;

// One corner of a triangle: its position, and its normal (-1: the file gives none).
struct MeshCorner {
    std::uint32_t position = 0;
    std::int32_t normal = -1;
};

struct MeshSource {
    std::vector<Vec3> positions;  // every one finite
    std::vector<Vec3> normals;    // every one finite; of any length, zero among them
    std::vector<Colour> colours;  // one per position (linear, each finite), or none; the builder
                                  // takes each channel within 0 to 1
    std::vector<std::array<MeshCorner, 3>> triangles;  // every index in range
    // Per triangle, where the file states it, for messages: its line in a text format, its face
    // (counting from 1) in a binary one. Empty: triangles are named by their place in the list.
    std::vector<std::uint32_t> origins;
    const char* origin_kind = "line";  // "line" or "face"
    // Per position, the same for the file's vertices (its line, or the vertex counting from 1);
    // empty: positions are named by their place.
    std::vector<std::uint32_t> position_origins;
};

// Scale (per axis, each > 0), then rotation about x, then y, then z (degrees, counter-clockwise
// looking down each axis toward the origin), then translation.
struct MeshTransform {
    Vec3 scale{1.0, 1.0, 1.0};
    Vec3 rotate_degrees;
    Vec3 translate;
};

// A triangle with area in the file and none once transformed: the transform's fault, not the
// file's ("the transform leaves triangle (vertices 1, 2, 3) of <path> line N without area").
class MeshTransformError : public SceneError {
public:
    using SceneError::SceneError;
};

// What the builder mended: normals of zero length (or too short to turn into a direction), whose
// corners take the triangle's own normal instead, and triangles of zero area, left out.
struct MeshRepairs {
    std::size_t zero_normals = 0;
    std::size_t degenerate_triangles = 0;

    bool any() const { return zero_normals != 0 || degenerate_triangles != 0; }
};

// "spider.obj: 1 normal of zero length replaced, 0 degenerate triangles left out".
std::string repairs_line(const std::string& path, const MeshRepairs& repairs);

struct BuiltMesh {
    std::shared_ptr<const MeshData> data;
    MeshRepairs repairs;
};

// Places the mesh by the transform: every vertex must stay finite and within the coordinate
// limit (SceneError naming the origin of a triangle that uses it), normals follow the inverse of
// the scale. Throws SceneError "<path>: no triangles of non-zero area" when none is left.
BuiltMesh build_mesh(const MeshSource& source, const std::string& path,
                     const MeshTransform& transform);

}  // namespace tmhost

#endif
