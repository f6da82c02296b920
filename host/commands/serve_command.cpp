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
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/commands/camera_options.h"
#include "host/commands/command.h"
#include "host/commands/command_bodies.h"
#include "host/commands/command_error.h"
#include "host/commands/command_line.h"
#include "host/commands/program_paths.h"
#include "host/commands/scenes_folder.h"
#include "host/commands/serve_answers.h"
#include "host/http/http_server.h"
#include "host/loading/module_endings.h"
#include "host/loading/process_state.h"
#include "host/render/prepared_scene.h"
#include "host/render/scene_source.h"
#include "host/scene/file_stamp.h"
#include "host/scene/mesh_file.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

namespace fs = std::filesystem;

// The folder of scenes a page may open: --scenes, else the started scene's folder, else the
// example scenes (beside the program, or in the source tree it was built from).
fs::path scenes_folder(const CommandLine& line) {
    if (const auto folder = line.value("--scenes")) {
        std::error_code error;
        if (!fs::is_directory(*folder, error)) {
            throw InputError("--scenes " + *folder + ": not a folder");
        }
        return *folder;
    }
    if (const auto scene = line.positional()) {
        const fs::path parent = fs::path(*scene).parent_path();
        return parent.empty() ? fs::path(".") : parent;
    }
    return example_scenes_folder();
}

// After a stop is asked, the renders stop after the rows they shade and the module is ended. A
// render that never comes back from the module (or a scene read from a file that never ends)
// would keep the server for ever: past the grace the process ends without ending the module. The
// grace leaves room for a row of a long render to finish under an emulator and a sanitizer.
constexpr std::chrono::seconds kStopGrace(30);

void stop_within_grace() {
    std::thread([] {
        count_as_host_thread();  // not the module's, though it outlives the module's session
        std::this_thread::sleep_for(kStopGrace);
        std::fprintf(stderr,
                     "tonemix-host: serve: a request did not end within %d s of the stop (stuck "
                     "in the module, or reading a file that never ends); exiting without ending "
                     "the module\n",
                     static_cast<int>(kStopGrace.count()));
        std::fflush(stderr);
        host_exit_now(EXIT_FAULT);
    }).detach();
}

}  // namespace

int serve_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output) {
    const int port = line.integer("--port", 0, 65535).value_or(0);
    const std::optional<int> threads = line.integer("--threads", 1, 64);
    std::optional<std::string> first = line.positional();
    if (first == std::optional<std::string>("-")) {
        throw UsageError("serve: a scene from standard input cannot be served; name its file");
    }
    ScenesFolder scenes(scenes_folder(line), first);
    // Read now and kept: a bad scene is one line now, not a 400 on every request.
    auto kept = std::make_unique<SceneCache>();
    if (first) {
        StageOptions stage = stage_options(line);
        if (!model_format(*first)) {
            if (!(stage == StageOptions{})) load_scene(first, stage);  // says why they do not apply
            stage = StageOptions{};
        }
        try {
            kept->get(scenes.path(scenes.default_id()), stage);
        } catch (const SceneError&) {
            // Said of the file as the user named it, as the other commands say it.
            if (file_stamp(*first).exists) throw;
            load_scene(first, stage);
            throw;
        }
    }

    CommandSession session(module_path(line.value("--module"), settings), description_trust(line),
                           settings);
    ServeSettings served_settings{std::move(scenes), threads, line.value("--module"), settings};
    served_settings.allow_long = line.has("--allow-long");
    served_settings.watch = line.has("--watch");
    served_settings.stage = stage_options(line);
    served_settings.command.show_progress = false;
    served_settings.command.show_now = nullptr;  // a request's lines are its answer's
    served_settings.command.stdout_is_terminal = false;
    served_settings.command.shared_session = &session.get();
    ServeAnswers served(std::move(served_settings), std::move(kept));
    HttpOptions options;
    if (!line.has("--no-token")) options.token = random_token();
    options.is_quick = &ServeAnswers::quick;
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
        throw HostError(std::string("serve: ") + error.what());
    }
    const std::vector<std::string> left = session.finish();
    for (const std::string& warning : left) output.warning("module: " + warning);
    return left.empty() ? EXIT_CLEAN : EXIT_FAULT;
}

const std::vector<OptionRule>& serve_options() {
    static const std::vector<OptionRule> rules = {
        OptionRule::valued("--port", "N", "the port on 127.0.0.1 to serve on")
            .with_values("0 to 65535; default: 0, a free port"),
        OptionRule::valued(
            "--scenes", "DIR",
            "the folder whose .json scene files and model files (.obj .ply .stl .gltf .glb) the "
            "page offers")
            .with_values("default: the folder of SCENE, else the example scenes"),
        OptionRule::valued("--threads", "N", "threads of each render")
            .with_values("1 to 64; default: one per core"),
        OptionRule::flag(
            "--allow-long",
            "lift the limits of one request, by default at most 4096x4096 pixels and 2^28 sample "
            "points (pixels x pixel samples x samples a point)"),
        OptionRule::flag(
            "--no-token",
            "answer requests without the token that the printed address carries: any program "
            "of this machine may then drive the server (for scripts)"),
        OptionRule::flag(
            "--watch",
            "the page renders again by itself when the scene's file or a mesh of it changes"),
        camera_option_rules()[0],  // --up
        camera_option_rules()[1],  // --camera-index
        kModuleOption,
        kTrustDescriptionOption,
        kHelpOption,
    };
    return rules;
}

}  // namespace tmhost