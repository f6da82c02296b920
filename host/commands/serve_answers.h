// The answers of tonemix-host serve: the page, its scenes and parameter lists, renders and sheets
// of the scenes the server keeps, their images at any exposure, and the scene files with a page's
// values. Called from the http layer's threads, several at once.
#ifndef TMHOST_SERVE_ANSWERS_H
#define TMHOST_SERVE_ANSWERS_H

#include <memory>
#include <optional>
#include <string>

#include "host/commands/command.h"
#include "host/commands/scenes_folder.h"
#include "host/http/http_server.h"
#include "host/render/prepared_scene.h"
#include "host/scene/model_stage.h"

namespace tmhost {

struct ServeSettings {
    ScenesFolder scenes;
    std::optional<int> threads;
    std::optional<std::string> module;  // --module as given, for the commands a page shows
    CommandSettings command;            // with the shared session
    bool allow_long = false;            // --allow-long: no limits beyond the command line's
    bool watch = false;                 // --watch: the page renders again when a scene changes
    StageOptions stage{};               // --up, --camera-index: for the model files it serves
};

class ServeAnswers {
public:
    // `scenes` may hold scenes read already (the one the server was started with).
    ServeAnswers(ServeSettings settings, std::unique_ptr<SceneCache> scenes);
    ~ServeAnswers();
    ServeAnswers(const ServeAnswers&) = delete;
    ServeAnswers& operator=(const ServeAnswers&) = delete;

    HttpResponse answer(const HttpRequest& request);
    // Cancels every render and lets no new one start: the server is stopping.
    void stop();
    // Requests that render wait for the renderer; the others must not wait behind them.
    static bool quick(const HttpRequest& request);

private:
    class Served;
    std::unique_ptr<Served> served_;
};

}  // namespace tmhost

#endif
