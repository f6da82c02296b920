#include "host/render/scene_source.h"

#include <algorithm>
#include <cstdio>

#include "host/image/whole_file.h"
#include "host/render/lane_seeds.h"
#include "host/render/render_error.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/mesh_file.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"
#include "host_api.h"

namespace tmhost {

namespace {

constexpr const char* kBuiltinLabel = "built-in scene";
constexpr const char* kStandardInputName = "-";
constexpr const char* kStandardInputLabel = "standard input";

}  // namespace

LoadedScene load_scene(const std::optional<std::string>& path, const StageOptions& stage) {
    if (path && model_format(*path)) {
        StagedModel staged = stage_model(*path, stage, kStageReach);
        LoadedScene loaded{std::move(staged.scene), *path, ModelStage{}};
        loaded.model->text = std::move(staged.text);
        loaded.model->size = staged.size;
        loaded.model->distance = staged.distance;
        loaded.model->offset = staged.offset;
        loaded.model->own_camera = staged.own_camera;
        loaded.model->own_lights = staged.own_lights;
        return loaded;
    }
    if (!(stage == StageOptions{})) {
        throw RenderError(std::string(stage.up != UpAxis::y ? "--up" : "--camera-index") +
                          ": only for model files (.obj, .ply, .stl, .gltf, .glb); a scene "
                          "file's camera says where it looks");
    }
    if (path && *path == kStandardInputName) {
        std::string text;
        try {
            text = read_standard_input();
        } catch (const FileError& error) {
            throw SceneError(error.what());
        }
        try {
            return {parse_scene(text), kStandardInputLabel, std::nullopt};
        } catch (const SceneError& error) {
            throw SceneError(std::string(kStandardInputLabel) + ": " + error.what());
        }
    }
    if (path) return {load_scene_file(*path), *path, std::nullopt};
    try {
        return {parse_scene(builtin_scene_json()), kBuiltinLabel, std::nullopt};
    } catch (const SceneError& error) {
        throw SceneError(std::string(kBuiltinLabel) + ": " + error.what());
    }
}

std::string short_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", value);
    return text;
}

std::optional<std::string> stage_reach_line(const Description& description,
                                            const LoadedScene& loaded,
                                            const std::vector<std::string>& assignments) {
    if (!loaded.model) return std::nullopt;
    const auto set_by_user = [&](const char* name) {
        const Parameter* wanted = description.find(std::string(name));
        if (wanted == nullptr) return true;  // nothing to say of a value the shader lacks
        for (const std::string& assignment : assignments) {
            const std::size_t equals = assignment.find('=');
            if (equals == std::string::npos) continue;
            const Parameter* named = description.find(assignment.substr(0, equals));
            if (named != nullptr && named->id == wanted->id) return true;
        }
        return false;
    };
    const bool distance = !set_by_user(kStageReach.distance_name);
    const bool offset = !set_by_user(kStageReach.offset_name);
    if (!distance && !offset) return std::nullopt;
    std::string values;
    std::string change;
    if (distance) {
        values =
            std::string(kStageReach.distance_name) + " " + short_number(loaded.model->distance);
        change = "--set " + std::string(kStageReach.distance_name) + "=D";
    }
    if (offset) {
        values += std::string(distance ? " and " : "") + kStageReach.offset_name + " " +
                  short_number(loaded.model->offset);
        change += std::string(distance ? " " : "") + "--set " + kStageReach.offset_name + "=O";
    }
    return loaded.label + ": " + values + " from the model's size of " +
           short_number(loaded.model->size) + " (" + change + " to change)";
}

namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The names of "red,blue" or ["red", "blue"].
std::vector<std::string> light_names(const std::string& text, const std::string& where) {
    std::vector<std::string> names;
    if (!text.empty() && text.front() == '[') {
        const nlohmann::json list = nlohmann::json::parse(text, nullptr, false);
        if (!list.is_array()) throw RenderError(where + ": expected names or a JSON array of them");
        for (const nlohmann::json& name : list) {
            if (!name.is_string()) {
                throw RenderError(where + ": expected light names, got " + name.dump());
            }
            names.push_back(name.get<std::string>());
        }
        return names;
    }
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        names.push_back(trimmed(text.substr(start, comma - start)));
        start = comma + 1;
    }
    return names;
}

// The mode a new light list takes: the list mode the scene's "shader" object gives, else the
// description's default (exclude, where there is none).
ListMode new_list_mode(const Description& description, const LoadedScene& loaded) {
    const Parameter* mode = description.find(shader_names::kListMode);
    if (mode == nullptr) return ListMode::exclude;
    ParameterValues written(description);
    written.add_scene(loaded.scene.shader, loaded.label);
    if (const ParameterValue* value = written.find(mode->id)) {
        return value->word == 0 ? ListMode::include : ListMode::exclude;
    }
    const WrittenValue& fallback = mode->default_value;
    if (fallback.kind == WrittenValue::Kind::integer && fallback.number == 0.0) {
        return ListMode::include;
    }
    return ListMode::exclude;
}

}  // namespace

std::vector<std::string> apply_light_assignments(const Description& description,
                                                 LoadedScene& loaded,
                                                 const std::vector<std::string>& assignments) {
    std::vector<std::string> others;
    for (const std::string& assignment : assignments) {
        const std::size_t equals = assignment.find('=');
        const Parameter* parameter =
            equals == std::string::npos ? nullptr : description.find(assignment.substr(0, equals));
        if (parameter == nullptr || parameter->type != ParameterType::light_list) {
            others.push_back(assignment);
            continue;
        }
        const std::string where = "--set " + assignment;
        Scene& scene = loaded.scene;
        LightList list;
        list.mode = scene.light_list ? scene.light_list->mode : new_list_mode(description, loaded);
        for (const std::string& name : light_names(assignment.substr(equals + 1), where)) {
            int index = -1;
            std::string known;
            for (std::size_t i = 0; i < scene.lights.size(); ++i) {
                if (scene.lights[i].name == name) index = static_cast<int>(i);
                known += (known.empty() ? "" : ", ") + scene.lights[i].name;
            }
            if (index < 0) {
                throw RenderError(where + ": the scene has no light named \"" + name + "\" (" +
                                  (known.empty() ? "it has none" : "it has: " + known) + ")");
            }
            if (std::find(list.lights.begin(), list.lights.end(), index) == list.lights.end()) {
                list.lights.push_back(index);
            }
        }
        scene.light_list = std::move(list);
    }
    return others;
}

ParameterValues scene_parameter_values(const Description& description, const LoadedScene& loaded,
                                       const SceneLights& lights,
                                       const std::vector<std::string>& assignments) {
    ParameterValues values(description);
    values.add_scene(loaded.scene.shader, loaded.label);
    if (lights.list_mode()) {
        const std::string where = loaded.label + ": light_list.mode";
        const Parameter* mode = description.find(shader_names::kListMode);
        if (mode == nullptr || description.find(ParameterType::light_list) == nullptr) {
            throw RenderError(where + ": the shader has no light list");
        }
        values.set(check_parameter_value(*mode, *lights.list_mode(), where));
    }
    for (const std::string& assignment : assignments) values.add_assignment(assignment);
    return values;
}

void apply_scene_values(const Description& description, const ParameterValues& values,
                        SceneLights& lights, Container& container) {
    values.apply(container);
    const Parameter* list = description.find(ParameterType::light_list);
    if (list != nullptr && lights.list_data() != nullptr) {
        container.set_custom(list->id, TM_LIBRARY_LIST, lights.list_data());
    }
}

void seed_lane(const Description& description, int lane, Container& container) {
    const Parameter* seed = description.find(shader_names::kSeed);
    if (seed == nullptr || seed->type != ParameterType::integer) return;
    container.set_long(seed->id, lane_seed(container.get_long(seed->id), lane));
}

}  // namespace tmhost
