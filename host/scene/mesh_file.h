// Mesh files of every format the host reads, told apart by their extension: what a scene's mesh
// object names, and what a model file brings.
#ifndef TMHOST_MESH_FILE_H
#define TMHOST_MESH_FILE_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/scene/mesh_source.h"

namespace tmhost {

enum class ModelFormat { obj, ply, stl, gltf, glb };

// The format the file's extension names, in any letter case (.obj .ply .stl .gltf .glb); none for
// another extension.
std::optional<ModelFormat> model_format(const std::string& path);

// The file's triangles as its reader gives them, glTF's meshes merged in world coordinates (its
// cameras and lights are not a mesh's). A file of another extension is read as OBJ, as mesh files
// always have been. `notes` gets what the reader left out ("2 primitives of lines left out").
MeshSource read_mesh_source(const std::string& path, std::size_t max_triangles,
                            std::vector<std::string>& notes);

struct MeshFile {
    BuiltMesh mesh;
    // One line each, naming the file: what was mended or left out.
    std::vector<std::string> notes;
};

// Reads and builds the mesh; throws SceneError (MeshTransformError for the transform's fault).
MeshFile load_mesh_file(const std::string& path, const MeshTransform& transform,
                        std::size_t max_triangles);

}  // namespace tmhost

#endif
