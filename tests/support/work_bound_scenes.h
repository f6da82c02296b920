// Scenes that test the bounds on a render's work: many lights, many planes, a mesh that is not a
// file. Written as plain text, so that a million lights cost no JSON library's time to make.
#ifndef TONEMIX_TEST_WORK_BOUND_SCENES_H
#define TONEMIX_TEST_WORK_BOUND_SCENES_H

#include <string>

namespace tonemix_test {

inline const char* const kBoundsCamera =
    R"("camera": {"position": [0, 2, 8], "target": [0, 0, 0], "fov": 40})";

// `lights` lights in rows of a thousand and `planes` planes one below the other, at 32x24.
inline std::string crowded_scene(int lights, int planes) {
    std::string text =
        "{" + std::string(kBoundsCamera) + ", \"image\": {\"width\": 32, \"height\": 24}";
    text += ", \"lights\": [";
    for (int i = 0; i < lights; ++i) {
        text += (i == 0 ? "" : ",\n") + std::string("{\"name\": \"l") + std::to_string(i) +
                "\", \"position\": [" + std::to_string(i % 1000) + ", 5, " +
                std::to_string(i / 1000) + "], \"intensity\": 1e-6}";
    }
    text += "], \"objects\": [";
    for (int i = 0; i < planes; ++i) {
        text += (i == 0 ? "" : ",\n") + std::string("{\"name\": \"p") + std::to_string(i) +
                "\", \"type\": \"plane\", \"point\": [0, " + std::to_string(-i) +
                ", 0], \"normal\": [0, 1, 0]}";
    }
    return text + "]}";
}

// A scene of one mesh object read from `mesh`.
inline std::string scene_of_mesh(const std::string& mesh) {
    return "{" + std::string(kBoundsCamera) +
           R"(, "objects": [{"name": "m", "type": "mesh", "file": ")" + mesh + R"("}]})";
}

}  // namespace tonemix_test

#endif
