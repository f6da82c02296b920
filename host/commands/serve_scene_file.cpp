#include "host/commands/serve_scene_file.h"

#include "host/core/shader_names.h"
#include "host/render/scene_source.h"

namespace tmhost {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using nlohmann::ordered_json;

void write_values(ordered_json& scene, const Description& description, const json& described,
                  const std::vector<std::string>& assignments) {
    if (!scene.contains("shader") || !scene["shader"].is_object()) {
        scene["shader"] = ordered_json::object();
    }
    ordered_json& shader = scene["shader"];
    auto drop_names_of = [&](const Parameter& parameter) {
        for (auto it = shader.begin(); it != shader.end();) {
            const Parameter* named = description.find(it.key());
            it = named != nullptr && named->id == parameter.id ? shader.erase(it) : ++it;
        }
    };
    auto described_value = [&](const Parameter& parameter) {
        for (const json& row : described["parameters"]) {
            if (row["id"] == parameter.id) return row["value"];
        }
        return json();
    };
    const Parameter* list = description.find(ParameterType::light_list);
    const Parameter* mode = description.find(shader_names::kListMode);
    bool list_touched = false;
    for (const std::string& assignment : assignments) {
        const Parameter* parameter = description.find(assignment.substr(0, assignment.find('=')));
        if (parameter == nullptr) continue;
        if (parameter == list || parameter == mode) {
            list_touched = true;
            continue;
        }
        drop_names_of(*parameter);
        shader[parameter->name] = described_value(*parameter);
    }
    if (!list_touched || list == nullptr || mode == nullptr) return;
    const json names = described_value(*list);
    const json mode_value = described_value(*mode);
    drop_names_of(*mode);
    if (names.is_array()) {
        scene["light_list"] = {{"mode", mode_value == 0 ? "include" : "exclude"},
                               {"lights", names}};
    } else {
        shader[mode->name] = mode_value;
    }
}

void absolute_mesh_paths(ordered_json& scene, const fs::path& folder) {
    if (!scene.contains("objects") || !scene["objects"].is_array()) return;
    for (ordered_json& object : scene["objects"]) {
        if (!object.is_object() || !object.contains("file") || !object["file"].is_string()) {
            continue;
        }
        const fs::path file(object["file"].get<std::string>());
        if (file.is_relative()) object["file"] = (folder / file).lexically_normal().string();
    }
}

}  // namespace

std::string scene_file_with_values(const std::string& scene_text,
                                   const std::optional<fs::path>& folder,
                                   const Description& description, const json& described,
                                   const std::vector<std::string>& assignments,
                                   std::optional<std::pair<int, int>> size,
                                   const std::optional<Camera>& camera) {
    ordered_json scene = ordered_json::parse(scene_text);
    write_values(scene, description, described, assignments);
    if (size) scene["image"] = {{"width", size->first}, {"height", size->second}};
    if (camera) {
        const auto vector = [](const Vec3& v) { return ordered_json::array({v.x, v.y, v.z}); };
        scene["camera"] = {{"position", vector(camera->position)},
                           {"target", vector(camera->target)},
                           {"up", vector(camera->up)},
                           {"fov", camera->fov_degrees}};
    }
    if (folder) absolute_mesh_paths(scene, *folder);
    return scene.dump(2) + "\n";
}

}  // namespace tmhost
