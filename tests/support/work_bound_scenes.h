// Scenes that test the bounds on a render's work: many lights, many planes, a mesh that is not a
// file. Written as plain text, so that a million lights cost no JSON library's time to make.
#ifndef TONEMIX_TEST_WORK_BOUND_SCENES_H
#define TONEMIX_TEST_WORK_BOUND_SCENES_H

#include <cstddef>
#include <string>

namespace tonemix_test {

inline const char* const kBoundsCamera =
    R"("camera": {"position": [0, 2, 8], "target": [0, 0, 0], "fov": 40})";

// `lights` lights in rows of a thousand and `planes` planes one below the other, at 32x24. The
// text is made in place, in room taken once: a million lights are 70 MB, and copies of it on the
// way would crowd a sanitized 32-bit process.
inline std::string crowded_scene(int lights, int planes) {
    std::string text;
    text.reserve(256 + static_cast<std::size_t>(lights) * 72 +
                 static_cast<std::size_t>(planes) * 80);
    text += "{";
    text += kBoundsCamera;
    text += ", \"image\": {\"width\": 32, \"height\": 24}, \"lights\": [";
    for (int i = 0; i < lights; ++i) {
        text += i == 0 ? "{\"name\": \"l" : ",\n{\"name\": \"l";
        text += std::to_string(i);
        text += "\", \"position\": [";
        text += std::to_string(i % 1000);
        text += ", 5, ";
        text += std::to_string(i / 1000);
        text += "], \"intensity\": 1e-6}";
    }
    text += "], \"objects\": [";
    for (int i = 0; i < planes; ++i) {
        text += i == 0 ? "{\"name\": \"p" : ",\n{\"name\": \"p";
        text += std::to_string(i);
        text += "\", \"type\": \"plane\", \"point\": [0, ";
        text += std::to_string(-i);
        text += ", 0], \"normal\": [0, 1, 0]}";
    }
    text += "]}";
    return text;
}

// A scene of one mesh object read from `mesh`.
inline std::string scene_of_mesh(const std::string& mesh) {
    return "{" + std::string(kBoundsCamera) +
           R"(, "objects": [{"name": "m", "type": "mesh", "file": ")" + mesh + R"("}]})";
}

}  // namespace tonemix_test

#endif
