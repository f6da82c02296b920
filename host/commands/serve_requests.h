// What tonemix-host serve holds for its requests (its settings, the scenes it keeps, its clients'
// renders and the images they made) and the answer of each request, defined by what they answer:
// serve_answers.cpp routes a request and turns its errors into statuses, serve_scene_answers.cpp
// answers the page, its scenes and parameter lists and the scene files, serve_render_answers.cpp
// renders and sheets and their progress, serve_image_answers.cpp the images kept and the rows of
// a running render.
#ifndef TMHOST_SERVE_REQUESTS_H
#define TMHOST_SERVE_REQUESTS_H

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "host/commands/serve_answers.h"
#include "host/commands/serve_job.h"
#include "host/commands/serve_query.h"
#include "host/commands/serve_renders.h"
#include "host/render/shading_run.h"

namespace tmhost {

// An answer of one line of text.
HttpResponse text_answer(int status, const std::string& body);
HttpResponse json_answer(const nlohmann::json& document);

class ServeAnswers::Served {
public:
    Served(ServeSettings settings, std::unique_ptr<SceneCache> scenes)
        : settings_(std::move(settings)), scenes_(std::move(scenes)) {}

    HttpResponse answer(const HttpRequest& request);
    void stop() { renders_.cancel_all(); }
    static bool quick(const HttpRequest& request);

private:
    HttpResponse routed(const std::string& path, const std::string& query,
                        const HttpRequest& request);

    // serve_scene_answers.cpp
    static HttpResponse page();
    HttpResponse scenes(const ServeQuery& query) const;
    std::string scene_id(const ServeQuery& query) const;
    // The server's stage options for a model file; a scene file has none.
    StageOptions stage_of(const std::optional<std::string>& path) const;
    SceneCache::Entry kept_scene(const ServeQuery& query);
    HttpResponse scene(const ServeQuery& query);
    // What describe --json prints with the query's values, for the kept scene, in the shared
    // session. Throws RenderError for a bad value. Waits for no render: only for the few moments
    // in which a render makes or frees its nodes.
    std::string described(const ServeQuery& query);
    HttpResponse parameters(const ServeQuery& query);
    // The page's image size for the scene file: both sides, or one in the scene's shape.
    std::optional<std::pair<int, int>> requested_size(const ServeQuery& query);
    HttpResponse scene_file(const ServeQuery& query);

    // serve_render_answers.cpp
    std::string command_text(const char* command, const CommandArguments& arguments) const;
    ServeJob job_of(const ServeQuery& query);
    ShadeSettings shade_settings(int pixel_samples);
    // What a render or a sheet answers once its image is made: the image kept for /api/image,
    // its figures, its command line and its warnings (the shader's reach, an unlit image).
    HttpResponse shaded(const Image& made, const ShadingRun& run, const RenderStats& stats,
                        int pixel_samples, const std::string& command);
    // Renders the job for the query's client in the shared session once the client's older
    // render has given way and the renderer is free; keeps the image for /api/image, and shows
    // its rows to /api/partial while it is shaded.
    HttpResponse render(const ServeQuery& query, const HttpRequest& request);
    // A contact sheet of the job's scene, each tile of the job's size; as a render otherwise.
    HttpResponse sheet(const ServeQuery& query, const HttpRequest& request);
    HttpResponse progress(const ServeQuery& query) const;
    HttpResponse cancel(const ServeQuery& query);

    // serve_image_answers.cpp
    // The rows of the client's running render done so far, over a kept image of the same size.
    HttpResponse partial(const ServeQuery& query) const;
    HttpResponse image(const ServeQuery& query) const;

    ServeSettings settings_;
    const std::unique_ptr<SceneCache> scenes_;
    // Held while the host's stores change: a parameter list's node, a render's nodes made and
    // freed. The shading itself runs without it.
    std::mutex host_work_;
    ServeRenders renders_;
    ServeImages images_;
};

}  // namespace tmhost

#endif
