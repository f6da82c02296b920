#include "host/scene/mesh_file.h"

#include <cctype>

#include "host/scene/gltf_model.h"
#include "host/scene/input_file.h"
#include "host/scene/obj_mesh.h"
#include "host/scene/ply_mesh.h"
#include "host/scene/stl_mesh.h"

namespace tmhost {

namespace {

std::string lower_extension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

std::string file_bytes(const std::string& path) { return read_input_file(path); }

}  // namespace

std::optional<ModelFormat> model_format(const std::string& path) {
    const std::string extension = lower_extension(path);
    if (extension == "obj") return ModelFormat::obj;
    if (extension == "ply") return ModelFormat::ply;
    if (extension == "stl") return ModelFormat::stl;
    if (extension == "gltf") return ModelFormat::gltf;
    if (extension == "glb") return ModelFormat::glb;
    return std::nullopt;
}

MeshSource read_mesh_source(const std::string& path, std::size_t max_triangles,
                            std::vector<std::string>& notes) {
    switch (model_format(path).value_or(ModelFormat::obj)) {
    case ModelFormat::ply:
        return parse_ply_mesh(file_bytes(path), path, max_triangles);
    case ModelFormat::stl:
        return parse_stl_mesh(file_bytes(path), path, max_triangles);
    case ModelFormat::gltf:
    case ModelFormat::glb: {
        GltfModel model = load_gltf_model(path, max_triangles);
        for (const std::string& note : model.notes) notes.push_back(path + ": " + note);
        return std::move(model.mesh);
    }
    case ModelFormat::obj:
        break;
    }
    return parse_obj_source(file_bytes(path), path, max_triangles);
}

MeshFile load_mesh_file(const std::string& path, const MeshTransform& transform,
                        std::size_t max_triangles) {
    MeshFile file;
    const MeshSource source = read_mesh_source(path, max_triangles, file.notes);
    file.mesh = build_mesh(source, path, transform);
    if (file.mesh.repairs.any()) file.notes.push_back(repairs_line(path, file.mesh.repairs));
    return file;
}

}  // namespace tmhost
