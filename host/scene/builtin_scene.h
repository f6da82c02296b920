// A scene that ships inside the stand-in host, so that it can show the shader without any file.
#pragma once

#include <string>

namespace tmhost {

// The scene as scene-file JSON; parse it with parse_scene like any other.
const std::string& builtin_scene_json();

}  // namespace tmhost
