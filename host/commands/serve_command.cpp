// tonemix-host serve: the module's shader on a page in the browser. The server loads the module
// once and keeps every scene it has read (its meshes and their hierarchy) until the scene's files
// change on disk. A render request is a job over the kept scene, shaded in the one session by the
// same code as the render command's, so that the page's image and the command line's are one, bit
// for bit; its Reproduce line is written from the job.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/commands/describe_sheet.h"
#include "host/commands/image_output.h"
#include "host/commands/scene_shading.h"
#include "host/commands/scenes_folder.h"
#include "host/commands/serve_page.h"
#include "host/commands/serve_query.h"
#include "host/commands/serve_renders.h"
#include "host/commands/serve_scene_file.h"
#include "host/commands/sheet_job.h"
#include "host/http/http_server.h"
#include "host/image/whole_file.h"
#include "host/render/pixel_samples.h"
#include "host/render/prepared_scene.h"
#include "host/render/render_error.h"
#include "host/render/scene_source.h"
#include "host/render/shading_run.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/file_stamp.h"
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
const std::vector<std::string> kShadingNames = {"client", "order",         "scene", "width",
                                                "height", "pixel-samples", "set"};

struct ServeSettings {
    ScenesFolder scenes;
    std::optional<int> threads;
    std::optional<std::string> module;  // --module as given, for the commands a page shows
    CommandSettings command;            // with the shared session
    bool allow_long = false;            // --allow-long: no limits beyond the command line's
    bool watch = false;                 // --watch: the page renders again when a scene changes
};

// A whole number of a query within a range, or none when the query has none; throws
// RenderError "width: expected a whole number from 1 to 16384, got 'x'".
std::optional<int> query_integer(const ServeQuery& query, const char* name, int lowest,
                                 int highest) {
    const std::optional<std::string> text = query.value(name);
    if (!text) return std::nullopt;
    long long value = 0;
    bool whole = !text->empty() && text->size() <= 9;
    for (const char c : *text) whole = whole && c >= '0' && c <= '9';
    if (whole) value = std::stoll(*text);
    if (!whole || value < lowest || value > highest) {
        throw RenderError(std::string(name) + ": expected a whole number from " +
                          std::to_string(lowest) + " to " + std::to_string(highest) + ", got '" +
                          *text + "'");
    }
    return static_cast<int>(value);
}

// What a page's render asks, typed: the kept scene, the size and pixel samples as asked, the
// values over the scene's. The Reproduce line is written from it.
struct ServeJob {
    std::optional<std::string> path;  // the scene's file; none for the built-in scene
    SceneCache::Entry scene;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> pixel_samples;
    std::vector<std::string> assignments;  // NAME=VALUE, as --set takes them

    ImageSize size() const { return image_size(scene.scene->loaded.scene, width, height); }

    // The render command's words that make the same image, the output left out.
    CommandArguments arguments() const {
        CommandArguments words;
        if (path) words.push_back(*path);
        if (width) words.insert(words.end(), {"--width", std::to_string(*width)});
        if (height) words.insert(words.end(), {"--height", std::to_string(*height)});
        if (pixel_samples) {
            words.insert(words.end(), {"--pixel-samples", std::to_string(*pixel_samples)});
        }
        for (const std::string& assignment : assignments) {
            words.insert(words.end(), {"--set", assignment});
        }
        return words;
    }
};

class Served {
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
                return scene_file(ServeQuery(query, {"scene", "set", "width", "height"}));
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

    SceneCache::Entry kept_scene(const ServeQuery& query) {
        return scenes_->get(settings_.scenes.path(scene_id(query)));
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
        const Sheet sheet = described_sheet(*settings_.command.shared_session, entry.scene->loaded,
                                            from_file, query.values("set"), ignored);
        std::string printed;
        for (const std::string& line : sheet_json_lines(sheet)) printed += line + "\n";
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
        job.scene = scenes_->get(job.path);
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
                             job.assignments);
        const int pixel_samples = job.pixel_samples.value_or(1);
        const long long samples = samples_per_point(run.session().description(), run.values());
        const long long pixels = static_cast<long long>(size.width) * size.height;
        if (!settings_.allow_long) {
            check_work(
                samples, samples * pixel_samples * pixels, pixels,
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
                             job.assignments);
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
    static ImageLook look_of(const ServeQuery& query) {
        ImageLook look;
        if (const auto exposure = query.value("exposure")) {
            // 0 is no exposure at all: a float image keeps its values bit for bit.
            const double ev = exposure_value(*exposure, "exposure");
            if (ev != 0.0) look.exposure = ev;
        }
        if (const auto name = query.value("tonemap")) {
            const std::optional<ToneMap> map = tone_map_named(*name);
            if (!map) {
                throw RenderError("tonemap: unknown tone map '" + *name +
                                  "' (expected clamp, reinhard or filmic)");
            }
            look.tone_map = *map;
        }
        return look;
    }

    static std::string encoded(const Image& image, const std::string& format,
                               const ImageLook& look) {
        CommandOutput encoded;
        ImageOutput(ImageOutput::kStandardOutput, format, false, look).write(image, encoded);
        return std::move(encoded.standard_output_bytes);
    }

    // The rows of the client's running render done so far, over a kept image of the same size.
    HttpResponse partial(const ServeQuery& query) const {
        const std::shared_ptr<LiveImage> live = renders_.live(query.value("client").value_or(""));
        if (!live) return text(404, "no render of this client is running");
        const ImageLook look = look_of(query);
        std::shared_ptr<const Image> under;
        if (const auto id = query.value("under")) under = images_.find(*id);
        HttpResponse response;
        response.content_type = "image/png";
        response.body = encoded(live->snapshot(under.get()), "png", look);
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
        ImageLook look = look_of(query);
        // A float image takes no tone map: it keeps its range.
        if (format == "exr") look.tone_map = ToneMap::clamp;
        HttpResponse response;
        response.content_type = format == "png" ? "image/png" : "image/x-exr";
        response.body = encoded(*found, format, look);
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
        HttpResponse response;
        try {
            response.body = scene_file_with_values(
                path ? read_file(*path) : builtin_scene_json(),
                path ? std::optional<fs::path>(fs::path(*path).parent_path()) : std::nullopt,
                settings_.command.shared_session->description(), json::parse(values),
                query.values("set"), requested_size(query));
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

// The folder of scenes a page may open: --scenes, else the started scene's folder, else the
// example scenes of the source tree this program was built from.
fs::path scenes_folder(const CommandLine& line) {
    if (const auto folder = line.value("--scenes")) {
        std::error_code error;
        if (!fs::is_directory(*folder, error)) {
            throw RenderError("--scenes " + *folder + ": not a folder");
        }
        return *folder;
    }
    if (const auto scene = line.positional()) {
        const fs::path parent = fs::path(*scene).parent_path();
        return parent.empty() ? fs::path(".") : parent;
    }
    return TONEMIX_EXAMPLE_SCENES;
}

// After a stop is asked, the renders stop after the rows they shade and the module is ended. A
// render that never comes back from the module (or a scene read from a file that never ends)
// would keep the server for ever: past the grace the process ends without ending the module. The
// grace leaves room for a row of a long render to finish under an emulator and a sanitizer.
constexpr std::chrono::seconds kStopGrace(30);

void stop_within_grace() {
    std::thread([] {
        std::this_thread::sleep_for(kStopGrace);
        std::fprintf(stderr,
                     "tonemix-host: serve: a request did not end within %d s of the stop (stuck "
                     "in the module, or reading a file that never ends); exiting without ending "
                     "the module\n",
                     static_cast<int>(kStopGrace.count()));
        std::fflush(stderr);
        std::_Exit(EXIT_FAULT);
    }).detach();
}

int serve(const CommandArguments& arguments, const CommandSettings& settings,
          CommandOutput& output) {
    const CommandLine line(arguments, serve_options(), "scene file");
    if (line.has("--help")) {
        for (std::string& text : usage_lines("serve")) output.out(std::move(text));
        return EXIT_CLEAN;
    }
    const int port = line.integer("--port", 0, 65535).value_or(0);
    const std::optional<int> threads = line.integer("--threads", 1, 64);
    std::optional<std::string> first = line.positional();
    if (first == std::optional<std::string>("-")) {
        throw RenderError("serve: a scene from standard input cannot be served; name its file");
    }
    ScenesFolder scenes(scenes_folder(line), first);
    // Read now and kept: a bad scene is one line now, not a 400 on every request.
    auto kept = std::make_unique<SceneCache>();
    if (first) {
        try {
            kept->get(scenes.path(scenes.default_id()));
        } catch (const SceneError&) {
            // Said of the file as the user named it, as the other commands say it.
            if (file_stamp(*first).exists) throw;
            load_scene(first);
            throw;
        }
    }

    CommandSession session(module_path(line.value("--module"), settings), description_trust(line),
                           settings);
    ServeSettings served_settings{std::move(scenes), threads, line.value("--module"), settings};
    served_settings.allow_long = line.has("--allow-long");
    served_settings.watch = line.has("--watch");
    served_settings.command.show_progress = false;
    served_settings.command.stdout_is_terminal = false;
    served_settings.command.shared_session = &session.get();
    Served served(std::move(served_settings), std::move(kept));
    HttpOptions options;
    if (!line.has("--no-token")) options.token = random_token();
    options.is_quick = &Served::quick;
    try {
        HttpServer server(
            static_cast<std::uint16_t>(port),
            [&](const HttpRequest& request) { return served.answer(request); }, options);
        server.stop_on_signals([&] {
            served.stop();
            stop_within_grace();
        });
        // Printed at once, not with the command's lines at its end: a user needs the address now.
        const std::string address = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
        if (options.token) {
            std::printf("serving %s?token=%s; Ctrl-C stops\n", address.c_str(),
                        options.token->c_str());
        } else {
            std::printf("serving %s (no token: any local program may drive it); Ctrl-C stops\n",
                        address.c_str());
        }
        std::fflush(stdout);
        server.run();
    } catch (const HttpError& error) {
        throw RenderError(std::string("serve: ") + error.what());
    }
    const std::vector<std::string> left = session.finish();
    for (const std::string& warning : left) output.warning("module: " + warning);
    return left.empty() ? EXIT_CLEAN : EXIT_FAULT;
}

}  // namespace

const std::vector<OptionRule>& serve_options() {
    static const std::vector<OptionRule> rules = {
        {"--port", nullptr, true, false, "N", "0 to 65535; default: 0, a free port",
         "the port on 127.0.0.1 to serve on"},
        {"--scenes", nullptr, true, false, "DIR",
         "default: the folder of SCENE, else the example scenes",
         "the folder whose .json scene files the page offers"},
        {"--threads", nullptr, true, false, "N", "1 to 64; default: one per core",
         "threads of each render"},
        {"--allow-long", nullptr, false, false, nullptr, nullptr,
         "lift the limits of one request, by default at most 4096x4096 pixels and 2^28 sample "
         "points (pixels x pixel samples x samples a point)"},
        {"--no-token", nullptr, false, false, nullptr, nullptr,
         "answer requests without the token that the printed address carries: any program "
         "of this machine may then drive the server (for scripts)"},
        {"--watch", nullptr, false, false, nullptr, nullptr,
         "the page renders again by itself when the scene's file or a mesh of it changes"},
        kModuleOption,
        kTrustDescriptionOption,
        kHelpOption,
    };
    return rules;
}

CommandOutput run_serve(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("serve", serve, arguments, settings);
}

}  // namespace tmhost
