// A scene that ships inside the stand-in host, so that it can show the shader without any file.
#ifndef TMHOST_BUILTIN_SCENE_H
#define TMHOST_BUILTIN_SCENE_H

#include <string>

namespace tmhost {

// The scene as scene-file JSON; parse it with parse_scene like any other.
const std::string& builtin_scene_json();

}  // namespace tmhost

#endif
