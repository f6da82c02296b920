// Scene files (the format is described in docs/scenes.md) to checked Scene values.
#ifndef TMHOST_SCENE_PARSER_H
#define TMHOST_SCENE_PARSER_H

#include <cstddef>
#include <map>
#include <string>

#include "host/scene/mesh_file.h"
#include "host/scene/scene.h"

namespace tmhost {

// The most lights and planes a scene holds. Every sample point asks for the light of each light,
// and each light's shadow is tested against each plane (planes are endless, so no hierarchy
// holds them): a scene of a million lights is endless work at any size, and reading one alone
// takes seconds. The counts are checked before any of them is read.
constexpr std::size_t kMaxSceneLights = 65536;
constexpr std::size_t kMaxScenePlanes = 65536;

// Throws SceneError with a one-line message naming the place of the first fault. Mesh files
// named by a relative path are looked for in `folder` ("" for the working folder).
Scene parse_scene(const std::string& text, const std::string& folder = "");

// Meshes already read, by the path a mesh object's file comes to: a mesh object of that file
// without a transform of its own takes it instead of reading the file again.
using ReadMeshes = std::map<std::string, MeshFile>;
Scene parse_scene(const std::string& text, const std::string& folder, const ReadMeshes& read);

// As parse_scene, with the file's path in front of every message ("a.json: line 2, column 7: ...").
Scene load_scene_file(const std::string& path);

}  // namespace tmhost

#endif
