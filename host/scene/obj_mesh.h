// Triangle meshes from Wavefront OBJ files.
#ifndef TMHOST_OBJ_MESH_H
#define TMHOST_OBJ_MESH_H

#include <cstddef>
#include <memory>
#include <string>

#include "host/scene/mesh_source.h"
#include "host/scene/scene.h"

namespace tmhost {

// The file's faces (polygons as fans from their first corner, so convex ones come out right),
// its normals where a face names one at a corner, and its vertex colours (`v x y z r g b`). Throws
// SceneError "<path>: line N: what" for a fault that has a line, "<path>: what" otherwise: a
// malformed or unknown statement, an index out of range, a number that is not finite, a face of
// more than kMaxFaceCorners corners, no faces, more than `max_triangles` triangles (what is left
// of the scene's limit). Zero normals and triangles without area are the builder's to mend.
MeshSource parse_obj_source(const std::string& text, const std::string& path,
                            std::size_t max_triangles = kMaxSceneTriangles);

// The OBJ source built with the transform (build_mesh), its repairs not reported.
std::shared_ptr<const MeshData> parse_obj_mesh(const std::string& text, const std::string& path,
                                               const MeshTransform& transform,
                                               std::size_t max_triangles = kMaxSceneTriangles);
std::shared_ptr<const MeshData> load_obj_mesh(const std::string& path,
                                              const MeshTransform& transform,
                                              std::size_t max_triangles = kMaxSceneTriangles);

}  // namespace tmhost

#endif
