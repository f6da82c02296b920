#include "host/render/scene_source.h"

#include "host/image/whole_file.h"
#include "host/render/lane_seeds.h"
#include "host/render/render_error.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"
#include "host_api.h"

namespace tmhost {

namespace {

constexpr const char* kBuiltinLabel = "built-in scene";
constexpr const char* kStandardInputName = "-";
constexpr const char* kStandardInputLabel = "standard input";
constexpr const char* kListModeName = "TONEMIX_LIST_MODE";
constexpr const char* kSeedName = "TONEMIX_SEED";

}  // namespace

LoadedScene load_scene(const std::optional<std::string>& path) {
    if (path && *path == kStandardInputName) {
        std::string text;
        try {
            text = read_standard_input();
        } catch (const FileError& error) {
            throw SceneError(error.what());
        }
        try {
            return {parse_scene(text), kStandardInputLabel};
        } catch (const SceneError& error) {
            throw SceneError(std::string(kStandardInputLabel) + ": " + error.what());
        }
    }
    if (path) return {load_scene_file(*path), *path};
    try {
        return {parse_scene(builtin_scene_json()), kBuiltinLabel};
    } catch (const SceneError& error) {
        throw SceneError(std::string(kBuiltinLabel) + ": " + error.what());
    }
}

ParameterValues scene_parameter_values(const Description& description, const LoadedScene& loaded,
                                       const SceneLights& lights,
                                       const std::vector<std::string>& assignments) {
    ParameterValues values(description);
    values.add_scene(loaded.scene.shader, loaded.label);
    if (lights.list_mode()) {
        const std::string where = loaded.label + ": light_list.mode";
        const Parameter* mode = description.find(kListModeName);
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
    const Parameter* seed = description.find(kSeedName);
    if (seed == nullptr || seed->type != ParameterType::integer) return;
    container.set_long(seed->id, lane_seed(container.get_long(seed->id), lane));
}

}  // namespace tmhost
