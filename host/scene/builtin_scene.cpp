#include "host/scene/builtin_scene.h"

namespace tmhost {

// A ground, two balls, a crate with a pearl on it, and three lights: warm orange from the front
// left, cool blue from the right, green from behind. The light list leaves the green one out, so
// the render shows the list at work; "include" mode or an empty list brings it back. The objects
// are pale so the lights' colours show: each light's shadow is tinted by the other light. The
// sampling distance is a little below the objects' size, so shadows are soft and light fades
// where objects meet the ground.
const std::string& builtin_scene_json() {
    static const std::string json = R"({
  "camera": { "position": [0, 3.2, 8.5], "target": [0, 0.7, 0], "fov": 40 },
  "image": { "width": 640, "height": 360 },
  "background": [0.02, 0.02, 0.03],
  "objects": [
    { "type": "plane", "name": "ground", "point": [0, 0, 0], "normal": [0, 1, 0],
      "colour": [0.85, 0.85, 0.85] },
    { "type": "sphere", "name": "red_ball", "center": [-1.7, 1, 0.2], "radius": 1,
      "colour": [0.95, 0.45, 0.4] },
    { "type": "sphere", "name": "blue_ball", "center": [1.8, 0.7, 1], "radius": 0.7,
      "colour": [0.5, 0.65, 0.95] },
    { "type": "box", "name": "crate", "min": [-0.3, 0, -1.7], "max": [1.1, 1.3, -0.3],
      "colour": [0.95, 0.85, 0.6] },
    { "type": "sphere", "name": "pearl", "center": [0.4, 1.6, -1], "radius": 0.3 }
  ],
  "lights": [
    { "name": "warm", "position": [-4, 4.5, 3], "colour": [1, 0.62, 0.28], "intensity": 1.3,
      "falloff": "inverse_square", "reference_distance": 4.5 },
    { "name": "cool", "position": [4.5, 4, 2], "colour": [0.3, 0.55, 1], "intensity": 1.3,
      "falloff": "inverse_square", "reference_distance": 4.5 },
    { "name": "green", "position": [0.5, 3, -5], "colour": [0.4, 1, 0.45], "intensity": 1,
      "falloff": "inverse_square", "reference_distance": 4 }
  ],
  "light_list": { "mode": "exclude", "lights": ["green"] },
  "shader": { "TONEMIX_SAMPLES": 32, "TONEMIX_DISTANCE": 0.8, "TONEMIX_OFFSET": 0.05,
              "TONEMIX_GAUSSIAN": true, "TONEMIX_MODE": 0, "TONEMIX_SHADOWS": true }
})";
    return json;
}

}  // namespace tmhost
