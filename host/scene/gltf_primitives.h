// The triangles of a glTF scene's meshes, merged into one mesh in world coordinates. Every
// accessor of every primitive is checked, and the triangles counted against the limit, before
// anything is built.
#ifndef TMHOST_GLTF_PRIMITIVES_H
#define TMHOST_GLTF_PRIMITIVES_H

#include <cstddef>
#include <string>
#include <vector>

#include "host/scene/gltf_library.h"
#include "host/scene/gltf_nodes.h"
#include "host/scene/mesh_source.h"

namespace tmhost {

// What the meshes held and the host leaves out, counted over the nodes that show them.
struct LeftOutGeometry {
    std::size_t point_or_line_primitives = 0;
    std::size_t morphed_meshes = 0;
};

// Throws SceneError "<path>: mesh 0 primitive 1: indices accessor 3 reaches past its buffer
// view", "<path>: 3000000 triangles, more than ..." and so for every fault of the geometry.
MeshSource scene_mesh(const tinygltf::Model& model, const std::vector<NodeVisit>& visits,
                      std::size_t max_triangles, const std::string& path,
                      LeftOutGeometry& left_out);

}  // namespace tmhost

#endif
