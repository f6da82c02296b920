// tonemix-host serve: the module's shader on a page in the browser. The server loads the module
// once and runs the commands themselves (describe, render, sheet) in that one session for each
// request, so that the page's image and the command line's are one, bit for bit.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/commands/image_output.h"
#include "host/commands/scenes_folder.h"
#include "host/commands/serve_page.h"
#include "host/commands/serve_query.h"
#include "host/commands/serve_renders.h"
#include "host/commands/serve_scene_file.h"
#include "host/http/http_server.h"
#include "host/image/whole_file.h"
#include "host/render/render_error.h"
#include "host/render/scene_source.h"
#include "host/scene/builtin_scene.h"
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

// The first error line of a command, or none.
std::optional<std::string> error_line(const CommandOutput& output) {
    for (const OutputLine& line : output.lines) {
        if (line.channel == Channel::error) return line.text;
    }
    return std::nullopt;
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
};

class Served {
public:
    explicit Served(ServeSettings settings) : settings_(std::move(settings)) {}

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
            if (path == "/api/image") {
                return image(ServeQuery(query, {"id", "format", "exposure", "download"}));
            }
            if (path == "/api/scene-file") return scene_file(ServeQuery(query, {"scene", "set"}));
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
        return json_answer({{"scenes", list}, {"default", settings_.scenes.default_id()}});
    }

    std::string scene_id(const ServeQuery& query) const {
        return query.value("scene").value_or(settings_.scenes.default_id());
    }

    HttpResponse scene(const ServeQuery& query) const {
        const std::string id = scene_id(query);
        const LoadedScene loaded = load_scene(settings_.scenes.path(id));
        json lights = json::array();
        for (const Light& light : loaded.scene.lights) lights.push_back(light.name);
        return json_answer({{"id", id},
                            {"label", loaded.label},
                            {"width", loaded.scene.width},
                            {"height", loaded.scene.height},
                            {"lights", lights}});
    }

    // The scene's file as the first argument of a command, when it has one.
    CommandArguments scene_arguments(const ServeQuery& query) const {
        const std::optional<std::string> path = settings_.scenes.path(scene_id(query));
        return path ? CommandArguments{*path} : CommandArguments{};
    }

    static CommandArguments set_arguments(const ServeQuery& query) {
        CommandArguments arguments;
        for (const std::string& assignment : query.values("set")) {
            arguments.insert(arguments.end(), {"--set", assignment});
        }
        return arguments;
    }

    // What describe --json prints with the query's values, run in the shared session. Throws
    // RenderError with describe's error line.
    std::string described(const ServeQuery& query) {
        CommandArguments arguments = scene_arguments(query);
        arguments.push_back("--json");
        const CommandArguments sets = set_arguments(query);
        arguments.insert(arguments.end(), sets.begin(), sets.end());
        const ServeRenders::SessionLock lock(renders_);
        const CommandOutput output = run_describe(arguments, settings_.command);
        if (const auto error = error_line(output)) throw RenderError(*error);
        std::string printed;
        for (const OutputLine& line : output.lines) {
            if (line.channel == Channel::out) printed += line.text + "\n";
        }
        return printed;
    }

    HttpResponse parameters(const ServeQuery& query) {
        HttpResponse response;
        response.content_type = "application/json";
        response.body = described(query);
        return response;
    }

    // The arguments of render or sheet as a page asks for them, without the output: these are
    // also the command a user runs to make the same image.
    CommandArguments shading_arguments(const ServeQuery& query) const {
        CommandArguments arguments = scene_arguments(query);
        for (const char* name : {"width", "height", "pixel-samples"}) {
            if (const auto value = query.value(name)) {
                arguments.insert(arguments.end(), {std::string("--") + name, *value});
            }
        }
        const CommandArguments sets = set_arguments(query);
        arguments.insert(arguments.end(), sets.begin(), sets.end());
        return arguments;
    }

    std::string command_text(const char* command, const CommandArguments& arguments) const {
        std::string line = std::string("tonemix-host ") + command;
        for (const std::string& argument : arguments) line += " " + shell_word(argument);
        if (settings_.module) line += " --module " + shell_word(*settings_.module);
        return line;
    }

    HttpResponse render(const ServeQuery& query, const HttpRequest& request) {
        return shade("render", run_render, shading_arguments(query), query, request);
    }

    HttpResponse sheet(const ServeQuery& query, const HttpRequest& request) {
        CommandArguments arguments = shading_arguments(query);
        const std::vector<std::string> vary = query.values("vary");
        if (vary.empty()) throw RenderError("a sheet needs vary=NAME=VALUE,...");
        for (const std::string& axis : vary) arguments.insert(arguments.end(), {"--vary", axis});
        return shade("sheet", run_sheet, arguments, query, request);
    }

    // Runs render or sheet for the query's client in the shared session, once the client's
    // older render has given way and the slot is free; keeps the image for /api/image.
    HttpResponse shade(const char* command,
                       CommandOutput (*run)(const CommandArguments&, const CommandSettings&),
                       const CommandArguments& arguments, const ServeQuery& query,
                       const HttpRequest& request) {
        ServeRenders::Turn turn(renders_, query.value("client").value_or(""), query.count("order"));
        RenderWatch& watch = turn.watch();
        watch.should_stop = request.client_gone;
        if (!turn.take_slot(request.client_gone)) return text(409, "cancelled");
        CommandArguments full = arguments;
        if (settings_.threads) {
            full.insert(full.end(), {"--threads", std::to_string(*settings_.threads)});
        }
        // The image is handed over, not written; "-o -" names an output that needs no file.
        full.insert(full.end(), {"-o", "-", "--format", "pfm"});
        CommandSettings settings = settings_.command;
        settings.watch = &watch;
        settings.keep_image = true;
        const CommandOutput output = run(full, settings);
        if (watch.cancelled) return text(409, "cancelled");
        if (const auto error = error_line(output)) return text(400, *error);
        if (!output.image) return text(500, std::string(command) + " made no image");
        const std::string id = images_.add(output.image);
        return json_answer({{"image", id},
                            {"width", output.image->width()},
                            {"height", output.image->height()},
                            {"command", command_text(command, arguments)},
                            {"warnings", warning_lines(output)}});
    }

    HttpResponse progress(const ServeQuery& query) const {
        const RenderProgress now = renders_.progress(query.value("client").value_or(""));
        return json_answer({{"running", now.running}, {"done", now.done}, {"total", now.total}});
    }

    HttpResponse image(const ServeQuery& query) const {
        const std::string id = query.value("id").value_or("");
        const std::shared_ptr<const Image> found = images_.find(id);
        if (!found) return text(404, "no image '" + id + "' (the server keeps the last 64)");
        const std::string format = query.value("format").value_or("png");
        if (format != "png" && format != "exr") {
            throw RenderError("format: expected png or exr, got '" + format + "'");
        }
        ImageLook look;
        if (const auto exposure = query.value("exposure")) {
            // 0 is no exposure at all: a float image keeps its values bit for bit.
            const double ev = exposure_value(*exposure, "exposure");
            if (ev != 0.0) look.exposure = ev;
        }
        CommandOutput encoded;
        ImageOutput(ImageOutput::kStandardOutput, format, false, look).write(*found, encoded);
        HttpResponse response;
        response.content_type = format == "png" ? "image/png" : "image/x-exr";
        response.body = std::move(encoded.standard_output_bytes);
        if (query.value("download") == std::optional<std::string>("1")) {
            response.disposition = "attachment; filename=\"tonemix." + format + "\"";
        }
        return response;
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
                query.values("set"));
        } catch (const std::exception& error) {
            throw RenderError((path ? *path : std::string("built-in scene")) + ": " + error.what());
        }
        response.content_type = "application/json";
        const std::string name = path ? fs::path(*path).stem().string() : "builtin";
        response.disposition = "attachment; filename=\"" + name + "-tonemix.json\"";
        return response;
    }

    ServeSettings settings_;
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
    if (first) load_scene(first);  // a bad scene is one line now, not a 400 on every request
    ScenesFolder scenes(scenes_folder(line), first);

    CommandSession session(module_path(line.value("--module"), settings), description_trust(line),
                           settings);
    ServeSettings served_settings{std::move(scenes), threads, line.value("--module"), settings};
    served_settings.command.show_progress = false;
    served_settings.command.stdout_is_terminal = false;
    served_settings.command.shared_session = &session.get();
    Served served(std::move(served_settings));
    try {
        HttpServer server(static_cast<std::uint16_t>(port),
                          [&](const HttpRequest& request) { return served.answer(request); });
        server.stop_on_signals([&] { served.stop(); });
        // Printed at once, not with the command's lines at its end: a user needs the address now.
        std::printf("serving http://127.0.0.1:%u/; Ctrl-C stops\n",
                    static_cast<unsigned>(server.port()));
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
