// The code of the glTF library, compiled once. It parses through the project's own nlohmann JSON
// headers (the only ones on this layer's include path).
#define TINYGLTF_IMPLEMENTATION
#include "host/scene/gltf_library.h"
