// The scene a command works on: a scene file, or the built-in scene when none is named; with
// the shader's values checked against the module's description and the scene's light list.
#ifndef TMHOST_SCENE_SOURCE_H
#define TMHOST_SCENE_SOURCE_H

#include <optional>
#include <string>
#include <vector>

#include "host/core/shader_names.h"
#include "host/render/parameter_values.h"
#include "host/render/scene_lights.h"
#include "host/scene/model_stage.h"
#include "host/scene/scene.h"

namespace tmhost {

// The parameters the stage of a model file sets from the model's size.
constexpr StageReach kStageReach{shader_names::kDistance, shader_names::kOffset};

// What the stage made of a model file.
struct ModelStage {
    std::string text;  // the scene file's text the scene was read from
    double size = 0.0;
    double distance = 0.0;
    double offset = 0.0;
    bool own_camera = false;
    bool own_lights = false;
};

struct LoadedScene {
    Scene scene;
    std::string label;  // the file's path, or "built-in scene"; starts messages about it
    std::optional<ModelStage> model;  // for a model file
};

// The scene file at `path`, or the model file (by its extension: model_format) on the stage
// `stage` sets; "-" reads the scene from standard input (its meshes' relative paths from the
// working folder, its messages naming "standard input"); none is the built-in scene. Throws
// SceneError naming the file, the line and column or the field, and RenderError for stage options
// given with a scene that is no model file.
LoadedScene load_scene(const std::optional<std::string>& path, const StageOptions& stage = {});

// Two significant digits, for a message: "20", "1.7", "0.069".
std::string short_number(double value);

// For a model on the stage: one line naming the distance and offset the stage chose and how to
// change them, leaving out those that an assignment sets; none when both are set or the scene is
// no model.
std::optional<std::string> stage_reach_line(const Description& description,
                                            const LoadedScene& loaded,
                                            const std::vector<std::string>& assignments);

// --set lights=NAME,NAME (the light list parameter by any of its names; a JSON array of names
// too, and "lights=" for none): the scene's light list names those lights instead. A scene
// without a light list gets one in the mode its "shader" object gives the list mode, else the
// description's default. Answers the other assignments, in order, for scene_parameter_values.
// Throws RenderError for a light the scene does not have.
std::vector<std::string> apply_light_assignments(const Description& description,
                                                 LoadedScene& loaded,
                                                 const std::vector<std::string>& assignments);

// The values a shader node gets after its defaults: the scene's "shader" values, the list mode of
// its light list, then each --set NAME=VALUE. Throws RenderError for a name the description does
// not have, a value of the wrong type or out of range.
ParameterValues scene_parameter_values(const Description& description, const LoadedScene& loaded,
                                       const SceneLights& lights,
                                       const std::vector<std::string>& assignments);

// Writes the values and lends the light list (when the scene has one) to the container.
void apply_scene_values(const Description& description, const ParameterValues& values,
                        SceneLights& lights, Container& container);

// Replaces the seed the container holds (TONEMIX_SEED, after the scene's values) by the seed of
// lane `lane`. A shader without a seed parameter draws nothing a lane could vary: its container
// stays as it is.
void seed_lane(const Description& description, int lane, Container& container);

}  // namespace tmhost

#endif
