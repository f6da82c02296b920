#include "host/commands/serve_answers.h"

#include "host/scene/mesh_file.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/commands/parameter_table.h"
#include "host/commands/scene_shading.h"
#include "host/commands/serve_job.h"
#include "host/commands/serve_page.h"
#include "host/commands/serve_query.h"
#include "host/commands/serve_renders.h"
#include "host/commands/serve_scene_file.h"
#include "host/commands/sheet_job.h"
#include "host/render/pixel_samples.h"
#include "host/render/prepared_scene.h"
#include "host/render/render_error.h"
#include "host/render/scene_source.h"
#include "host/render/shading_run.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/input_file.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

HttpResponse text(int status, const std::string& body) {
    HttpResponse response;
    response.status = status;
    response.body = body + "\n";
    return response;
}

HttpResponse json_answer(const json& document) {
    HttpResponse response;
    response.content_type = "application/json";
    response.body = document.dump() + "\n";
    return response;
}

std::vector<std::string> warning_lines(const CommandOutput& output) {
    std::vector<std::string> warnings;
    for (const OutputLine& line : output.lines) {
        if (line.channel == Channel::warning) warnings.push_back(line.text);
    }
    return warnings;
}

// What a page asks of the server that the command line would say with options.
const std::vector<std::string> kShadingNames = {
    "client", "order", "scene", "width", "height", "pixel-samples", "set", "orbit", "zoom", "pan"};

}  // namespace

class ServeAnswers::Served {
public:
    Served(ServeSettings settings, std::unique_ptr<SceneCache> scenes)
        : settings_(std::move(settings)), scenes_(std::move(scenes)) {}

    HttpResponse answer(const HttpRequest& request) {
        if (request.method != "GET") return text(405, "only GET is served");
        const auto [path, query] = split_target(request.target);
        try {
            if (path == "/") return page();
            if (path == "/api/scenes") return scenes(ServeQuery(query, {}));
            if (path == "/api/scene") return scene(ServeQuery(query, {"scene"}));
            if (path == "/api/parameters") {
                return parameters(ServeQuery(query, {"scene", "set"}));
            }
            if (path == "/api/render") return render(ServeQuery(query, kShadingNames), request);
            if (path == "/api/sheet") {
                std::vector<std::string> names = kShadingNames;
                names.push_back("vary");
                return sheet(ServeQuery(query, names), request);
            }
            if (path == "/api/progress") return progress(ServeQuery(query, {"client"}));
            if (path == "/api/cancel") return cancel(ServeQuery(query, {"client"}));
            if (path == "/api/image") {
                return image(
                    ServeQuery(query, {"id", "format", "exposure", "tonemap", "download"}));
            }
            if (path == "/api/partial") {
                return partial(ServeQuery(query, {"client", "under", "exposure", "tonemap"}));
            }
            if (path == "/api/scene-file") {
                return scene_file(
                    ServeQuery(query, {"scene", "set", "width", "height", "orbit", "zoom", "pan"}));
            }
        } catch (const NoSuchScene& missing) {
            return text(404, missing.what());
        } catch (const RenderError& error) {
            return text(400, error.what());
        } catch (const SceneError& error) {
            return text(400, error.what());
        }
        return text(404, "no such page: " + path);
    }

    void stop() { renders_.cancel_all(); }

    // Requests that render wait for the renderer; the others must not wait behind them.
    static bool quick(const HttpRequest& request) {
        const std::string path = split_target(request.target).first;
        return path != "/api/render" && path != "/api/sheet";
    }

private:
    static HttpResponse page() {
        HttpResponse response;
        response.content_type = "text/html; charset=utf-8";
        response.body = serve_page();
        return response;
    }

    HttpResponse scenes(const ServeQuery&) const {
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

    std::string scene_id(const ServeQuery& query) const {
        return query.value("scene").value_or(settings_.scenes.default_id());
    }

    // The server's stage options for a model file; a scene file has none.
    StageOptions stage_of(const std::optional<std::string>& path) const {
        return path && model_format(*path) ? settings_.stage : StageOptions{};
    }

    SceneCache::Entry kept_scene(const ServeQuery& query) {
        const std::optional<std::string> path = settings_.scenes.path(scene_id(query));
        return scenes_->get(path, stage_of(path));
    }

    HttpResponse scene(const ServeQuery& query) {
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

    // What describe --json prints with the query's values, for the kept scene, in the shared
    // session. Throws RenderError for a bad value. Waits for no render: only for the few moments
    // in which a render makes or frees its nodes.
    std::string described(const ServeQuery& query) {
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

    HttpResponse parameters(const ServeQuery& query) {
        HttpResponse response;
        response.content_type = "application/json";
        response.body = described(query);
        return response;
    }

    std::string command_text(const char* command, const CommandArguments& arguments) const {
        std::string line = std::string("tonemix-host ") + command;
        for (const std::string& argument : arguments) line += " " + shell_word(argument);
        if (settings_.module) line += " --module " + shell_word(*settings_.module);
        return line;
    }

    ServeJob job_of(const ServeQuery& query) {
        ServeJob job;
        job.path = settings_.scenes.path(scene_id(query));
        job.width = query_integer(query, "width", 1, kMaxImageSide);
        job.height = query_integer(query, "height", 1, kMaxImageSide);
        job.pixel_samples = query_integer(query, "pixel-samples", 1, kMostPixelSamples);
        job.assignments = query.values("set");
        job.stage = stage_of(job.path);
        read_query_view(query, job);
        job.scene = scenes_->get(job.path, job.stage);
        return job;
    }

    ShadeSettings shade_settings(int pixel_samples) {
        ShadeSettings shading;
        shading.threads = settings_.threads.value_or(default_render_threads());
        shading.pixel_samples = pixel_samples;
        shading.host_work = &host_work_;
        return shading;
    }

    // What a render or a sheet answers once its image is made: the image kept for /api/image,
    // its figures, its command line and its warnings (the shader's reach, an unlit image).
    HttpResponse shaded(const Image& made, const ShadingRun& run, const RenderStats& stats,
                        int pixel_samples, const std::string& command) {
        CommandOutput output;
        const Description& description = run.session().description();
        if (const auto reach = reach_warning(description, run.values(), run.scene())) {
            output.warning(*reach);
        }
        warn_if_unlit(stats, output);
        auto image = std::make_shared<const Image>(made);
        const std::string id = images_.add(image);
        return json_answer({{"image", id},
                            {"width", image->width()},
                            {"height", image->height()},
                            {"pixel_samples", pixel_samples},
                            {"seconds", stats.seconds},
                            {"points", stats.points},
                            {"command", command},
                            {"warnings", warning_lines(output)}});
    }

    // Renders the job for the query's client in the shared session once the client's older
    // render has given way and the renderer is free; keeps the image for /api/image, and shows
    // its rows to /api/partial while it is shaded.
    HttpResponse render(const ServeQuery& query, const HttpRequest& request) {
        const ServeJob job = job_of(query);
        const ImageSize size = job.size();
        // Every value is checked before the render waits for its turn: a bad one is said at once.
        const ShadingRun run(*settings_.command.shared_session, job.scene.scene, size,
                             job.assignments, job.view);
        const int pixel_samples = job.pixel_samples.value_or(1);
        const long long samples = samples_per_point(run.session().description(), run.values());
        const long long pixels = static_cast<long long>(size.width) * size.height;
        if (!settings_.allow_long) {
            check_work(
                samples, samples * pixel_samples * pixels, point_cost(run.scene()), pixels,
                "samples=" + std::to_string(samples) + " at " + std::to_string(size.width) + "x" +
                    std::to_string(size.height) +
                    (pixel_samples > 1 ? ", " + std::to_string(pixel_samples) + " pixel samples"
                                       : std::string()),
                serve_work_limits());
        }
        ServeRenders::Turn turn(renders_, query.value("client").value_or(""), query.count("order"));
        RenderWatch& watch = turn.watch();
        watch.should_stop = request.client_gone;
        if (!turn.take_slot(request.client_gone)) return text(409, "cancelled");
        auto live = std::make_shared<LiveImage>(size.width, size.height, pixel_samples);
        watch.rows_done = live->rows_done();
        watch.total_rows = size.height;
        turn.show(live);
        ProgressBar progress(size.height, false);
        const RenderStats stats =
            run.shade(run.values(), shade_settings(pixel_samples), live->image(), progress, &watch);
        if (stats.cancelled || watch.cancelled) return text(409, "cancelled");
        return shaded(live->image(), run, stats, pixel_samples,
                      command_text("render", job.arguments()));
    }

    // A contact sheet of the job's scene, each tile of the job's size; as a render otherwise.
    HttpResponse sheet(const ServeQuery& query, const HttpRequest& request) {
        const std::vector<std::string> varies = query.values("vary");
        if (varies.empty()) throw RenderError("a sheet needs vary=NAME=VALUE,...");
        const ServeJob job = job_of(query);
        const ShadingRun run(*settings_.command.shared_session, job.scene.scene, job.size(),
                             job.assignments, job.view);
        const int pixel_samples = job.pixel_samples.value_or(1);
        const WorkLimits limits = serve_work_limits();
        const SheetJob sheet_job(run, varies, job.assignments, pixel_samples,
                                 settings_.allow_long ? nullptr : &limits);
        ServeRenders::Turn turn(renders_, query.value("client").value_or(""), query.count("order"));
        RenderWatch& watch = turn.watch();
        watch.should_stop = request.client_gone;
        if (!turn.take_slot(request.client_gone)) return text(409, "cancelled");
        ProgressBar progress(1, false);
        RenderStats stats;
        const Image image = sheet_job.shade(shade_settings(pixel_samples), progress, &watch, stats);
        if (stats.cancelled || watch.cancelled) return text(409, "cancelled");
        CommandArguments words = job.arguments();
        for (const std::string& vary : varies) words.insert(words.end(), {"--vary", vary});
        return shaded(image, run, stats, pixel_samples, command_text("sheet", words));
    }

    HttpResponse progress(const ServeQuery& query) const {
        const RenderProgress now = renders_.progress(query.value("client").value_or(""));
        return json_answer({{"running", now.running},
                            {"done", now.done},
                            {"total", now.total},
                            {"pixel_samples", now.pixel_samples}});
    }

    HttpResponse cancel(const ServeQuery& query) {
        return json_answer({{"cancelled", renders_.cancel(query.value("client").value_or(""))}});
    }

    // The look of an 8-bit image a query asks for: its exposure and tone map.
    // The rows of the client's running render done so far, over a kept image of the same size.
    HttpResponse partial(const ServeQuery& query) const {
        const std::shared_ptr<LiveImage> live = renders_.live(query.value("client").value_or(""));
        if (!live) return text(404, "no render of this client is running");
        const ImageLook look = query_look(query);
        std::shared_ptr<const Image> under;
        if (const auto id = query.value("under")) under = images_.find(*id);
        HttpResponse response;
        response.content_type = "image/png";
        response.body = encoded_image(live->snapshot(under.get()), "png", look);
        return response;
    }

    HttpResponse image(const ServeQuery& query) const {
        const std::string id = query.value("id").value_or("");
        const std::shared_ptr<const Image> found = images_.find(id);
        if (!found) return text(404, "no image '" + id + "' (the server keeps the last 64)");
        const std::string format = query.value("format").value_or("png");
        if (format != "png" && format != "exr") {
            throw RenderError("format: expected png or exr, got '" + format + "'");
        }
        ImageLook look = query_look(query);
        // A float image takes no tone map: it keeps its range.
        if (format == "exr") look.tone_map = ToneMap::clamp;
        HttpResponse response;
        response.content_type = format == "png" ? "image/png" : "image/x-exr";
        response.body = encoded_image(*found, format, look);
        if (query.value("download") == std::optional<std::string>("1")) {
            response.disposition = "attachment; filename=\"tonemix." + format + "\"";
        }
        return response;
    }

    // The page's image size for the scene file: both sides, or one in the scene's shape.
    std::optional<std::pair<int, int>> requested_size(const ServeQuery& query) {
        const std::optional<int> width = query_integer(query, "width", 1, kMaxImageSide);
        const std::optional<int> height = query_integer(query, "height", 1, kMaxImageSide);
        if (!width && !height) return std::nullopt;
        const ImageSize size = image_size(kept_scene(query).scene->loaded.scene, width, height);
        return std::make_pair(size.width, size.height);
    }

    HttpResponse scene_file(const ServeQuery& query) {
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
            throw RenderError((path ? *path : std::string("built-in scene")) + ": " + error.what());
        }
        response.content_type = "application/json";
        const std::string name = path ? fs::path(*path).stem().string() : "builtin";
        response.disposition = "attachment; filename=\"" + name + "-tonemix.json\"";
        return response;
    }

    ServeSettings settings_;
    const std::unique_ptr<SceneCache> scenes_;
    // Held while the host's stores change: a parameter list's node, a render's nodes made and
    // freed. The shading itself runs without it.
    std::mutex host_work_;
    ServeRenders renders_;
    ServeImages images_;
};

ServeAnswers::ServeAnswers(ServeSettings settings, std::unique_ptr<SceneCache> scenes)
    : served_(std::make_unique<Served>(std::move(settings), std::move(scenes))) {}

ServeAnswers::~ServeAnswers() = default;

HttpResponse ServeAnswers::answer(const HttpRequest& request) { return served_->answer(request); }

void ServeAnswers::stop() { served_->stop(); }

bool ServeAnswers::quick(const HttpRequest& request) { return Served::quick(request); }

}  // namespace tmhost
