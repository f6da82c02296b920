// A model file (OBJ, PLY, STL, glTF) made into a scene as a viewer shows it: the model on a floor,
// a camera that frames it from a three-quarter view and three lights of the stage, a key, a fill
// and a rim. A glTF file that brings a camera or lights of its own is shown with them instead.
// The scene is written as a scene file's text and read back by the scene parser, so the text a
// user saves renders the very same image.
#ifndef TMHOST_MODEL_STAGE_H
#define TMHOST_MODEL_STAGE_H

#include <cstddef>
#include <optional>
#include <string>

#include "host/scene/scene.h"

namespace tmhost {

enum class UpAxis { y, z };

struct StageOptions {
    UpAxis up = UpAxis::y;
    // Which camera of a glTF file, counting from 0; none: the file's first, if it has one.
    std::optional<int> camera_index;

    bool operator==(const StageOptions& other) const {
        return up == other.up && camera_index == other.camera_index;
    }
};

// The names of the shader's values the stage sets from the model's size: its sampling distance
// and the lift of its start point (as the scene file's "shader" object names them).
struct StageReach {
    const char* distance_name;
    const char* offset_name;
};

// The sampling distance and lift the stage gives a model of that size (the diagonal of its
// bounds): soft shadows a little below the model's size, a lift well above the rounding of its
// points.
constexpr double kStageDistancePerSize = 0.4;
constexpr double kStageOffsetPerSize = 0.015;

struct StagedModel {
    std::string text;       // the scene file's text
    Scene scene;            // what the parser reads of it
    double size = 0.0;      // the diagonal of the model's bounds
    double distance = 0.0;  // the values written under the reach's names
    double offset = 0.0;
    bool own_camera = false;  // the file's camera, not the stage's
    bool own_lights = false;
};

// Throws SceneError naming the file as its reader does, and for a camera index the file does not
// have.
StagedModel stage_model(const std::string& path, const StageOptions& options,
                        const StageReach& reach);

}  // namespace tmhost

#endif
