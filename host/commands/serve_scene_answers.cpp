// serve's answers of the page itself, of its scenes and their parameter lists, and of the scene
// files with a page's values.
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "host/commands/command_error.h"
#include "host/commands/parameter_table.h"
#include "host/commands/scene_shading.h"
#include "host/commands/serve_page.h"
#include "host/commands/serve_requests.h"
#include "host/commands/serve_scene_file.h"
#include "host/render/pixel_samples.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/input_file.h"
#include "host/scene/mesh_file.h"

namespace tmhost {

namespace fs = std::filesystem;
using nlohmann::json;

HttpResponse ServeAnswers::Served::page() {
    HttpResponse response;
    response.content_type = "text/html; charset=utf-8";
    response.body = serve_page();
    return response;
}

HttpResponse ServeAnswers::Served::scenes(const ServeQuery&) const {
    json list = json::array();
    for (const ServedScene& scene : settings_.scenes.scenes()) {
        list.push_back({{"id", scene.id}, {"label", scene.label}});
    }
    json limits = {
        {"pixel_samples", kMostPixelSamples}, {"pixels", nullptr}, {"sample_points", nullptr}};
    if (!settings_.allow_long) {
        const WorkLimits work = serve_work_limits();
        limits["pixels"] = work.pixels;
        limits["sample_points"] = work.sample_points;
    }
    return json_answer({{"scenes", list},
                        {"default", settings_.scenes.default_id()},
                        {"watch", settings_.watch},
                        {"limits", limits}});
}

std::string ServeAnswers::Served::scene_id(const ServeQuery& query) const {
    return query.value("scene").value_or(settings_.scenes.default_id());
}

StageOptions ServeAnswers::Served::stage_of(const std::optional<std::string>& path) const {
    return path && model_format(*path) ? settings_.stage : StageOptions{};
}

SceneCache::Entry ServeAnswers::Served::kept_scene(const ServeQuery& query) {
    const std::optional<std::string> path = settings_.scenes.path(scene_id(query));
    return scenes_->get(path, stage_of(path));
}

HttpResponse ServeAnswers::Served::scene(const ServeQuery& query) {
    const std::string id = scene_id(query);
    const SceneCache::Entry entry = kept_scene(query);
    const LoadedScene& loaded = entry.scene->loaded;
    json lights = json::array();
    for (const Light& light : loaded.scene.lights) lights.push_back(light.name);
    return json_answer({{"id", id},
                        {"label", loaded.label},
                        {"width", loaded.scene.width},
                        {"height", loaded.scene.height},
                        {"lights", lights},
                        {"version", entry.version}});
}

std::string ServeAnswers::Served::described(const ServeQuery& query) {
    const SceneCache::Entry entry = kept_scene(query);
    const bool from_file = settings_.scenes.path(scene_id(query)).has_value();
    CommandOutput ignored;
    const std::lock_guard<std::mutex> lock(host_work_);
    const ParameterTable table =
        described_parameters(*settings_.command.shared_session, entry.scene->loaded, from_file,
                             query.values("set"), ignored);
    std::string printed;
    for (const std::string& line : parameter_table_json(table)) printed += line + "\n";
    return printed;
}

HttpResponse ServeAnswers::Served::parameters(const ServeQuery& query) {
    HttpResponse response;
    response.content_type = "application/json";
    response.body = described(query);
    return response;
}

std::optional<std::pair<int, int>> ServeAnswers::Served::requested_size(const ServeQuery& query) {
    const std::optional<int> width = query_integer(query, "width", 1, kMaxImageSide);
    const std::optional<int> height = query_integer(query, "height", 1, kMaxImageSide);
    if (!width && !height) return std::nullopt;
    const ImageSize size = image_size(kept_scene(query).scene->loaded.scene, width, height);
    return std::make_pair(size.width, size.height);
}

HttpResponse ServeAnswers::Served::scene_file(const ServeQuery& query) {
    const std::optional<std::string> path = settings_.scenes.path(scene_id(query));
    const std::string values = described(query);
    const SceneCache::Entry entry = kept_scene(query);
    const LoadedScene& loaded = entry.scene->loaded;
    ServeJob viewed;
    read_query_view(query, viewed);
    std::optional<Camera> camera;
    if (!viewed.view.is_identity()) camera = viewed_camera(loaded.scene.camera, viewed.view);
    HttpResponse response;
    try {
        // A model's scene is the stage's text, its mesh named by the path the server read.
        const std::string text = loaded.model ? loaded.model->text
                                 : path       ? read_input_file(*path)
                                              : builtin_scene_json();
        response.body = scene_file_with_values(
            text, path ? std::optional<fs::path>(fs::path(*path).parent_path()) : std::nullopt,
            settings_.command.shared_session->description(), json::parse(values),
            query.values("set"), requested_size(query), camera);
    } catch (const std::exception& error) {
        throw InputError((path ? *path : std::string("built-in scene")) + ": " + error.what());
    }
    response.content_type = "application/json";
    const std::string name = path ? fs::path(*path).stem().string() : "builtin";
    response.disposition = "attachment; filename=\"" + name + "-tonemix.json\"";
    return response;
}

}  // namespace tmhost
