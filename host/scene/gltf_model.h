// glTF 2.0 models (.gltf text with its buffers, or one .glb), read as one mesh in world
// coordinates with the model's cameras and point lights. What the file holds and the host does
// not show (points and lines, orthographic cameras, spot and directional lights, skins, morph
// targets) is left out and said in a note; what would change the geometry and is not read (a
// compressed or quantized mesh, a sparse accessor) is refused.
#ifndef TMHOST_GLTF_MODEL_H
#define TMHOST_GLTF_MODEL_H

#include <cstddef>
#include <string>
#include <vector>

#include "host/scene/mesh_source.h"
#include "host/scene/scene.h"

namespace tmhost {

struct GltfModel {
    // Every triangle primitive (triangles, strips, fans) of every node of the scene, placed by the
    // node's world transform, merged into one mesh. Triangles are named by a running number from 1.
    MeshSource mesh;
    std::vector<Camera> cameras;     // perspective cameras, in the order their nodes are met
    std::vector<Light> lights;       // point lights (inverse-square falloff), names unique
    std::vector<std::string> notes;  // what was left out, one short phrase each
};

// Throws SceneError, one line naming the file: "<path>: what" ("<path>: mesh 0 primitive 1:
// indices accessor 3 reaches past its buffer view"). Buffers are read from the folder of `path`;
// more than `max_triangles` triangles is refused before any is built.
GltfModel load_gltf_model(const std::string& path, std::size_t max_triangles);

// The same for the file's bytes (.gltf text, or .glb when `binary`), `path` naming it in messages;
// external buffers are read from `folder` ("" for the current folder).
GltfModel parse_gltf_model(const std::string& bytes, bool binary, const std::string& path,
                           const std::string& folder, std::size_t max_triangles);

}  // namespace tmhost

#endif
