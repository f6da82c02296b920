#include "host/commands/serve_answers.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "host/commands/command_error.h"
#include "host/commands/serve_requests.h"
#include "host/loading/signal_stack.h"

namespace tmhost {

namespace {

// What a page asks of the server that the command line would say with options.
const std::vector<std::string> kShadingNames = {
    "client", "order", "scene", "width", "height", "pixel-samples", "set", "orbit", "zoom", "pan"};

// A request's fault is the page's (400) or names what the server does not have (404); whatever
// else fails is the server's own (500). Each says its one line.
int status_of(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::usage:
    case ErrorKind::input:
        return 400;
    case ErrorKind::not_found:
        return 404;
    default:
        return 500;
    }
}

}  // namespace

HttpResponse text_answer(int status, const std::string& body) {
    HttpResponse response;
    response.status = status;
    response.body = body + "\n";
    return response;
}

HttpResponse json_answer(const nlohmann::json& document) {
    HttpResponse response;
    response.content_type = "application/json";
    response.body = document.dump() + "\n";
    return response;
}

HttpResponse ServeAnswers::Served::answer(const HttpRequest& request) {
    if (request.method != "GET") return text_answer(405, "only GET is served");
    const auto [path, query] = split_target(request.target);
    // The module's code runs on this request thread too (its description, a render's set-up):
    // an overflow of its stack here is told as one, not ended without a word.
    const SignalStack signal_stack;
    try {
        return routed(path, query, request);
    } catch (const std::exception&) {
        const Failure failure = failure_in_flight();
        return text_answer(status_of(failure.kind), failure.what);
    }
}

HttpResponse ServeAnswers::Served::routed(const std::string& path, const std::string& query,
                                          const HttpRequest& request) {
    if (path == "/") return page();
    if (path == "/api/scenes") return scenes(ServeQuery(query, {}));
    if (path == "/api/scene") return scene(ServeQuery(query, {"scene"}));
    if (path == "/api/parameters") return parameters(ServeQuery(query, {"scene", "set"}));
    if (path == "/api/render") return render(ServeQuery(query, kShadingNames), request);
    if (path == "/api/sheet") {
        std::vector<std::string> names = kShadingNames;
        names.push_back("vary");
        return sheet(ServeQuery(query, names), request);
    }
    if (path == "/api/progress") return progress(ServeQuery(query, {"client"}));
    if (path == "/api/cancel") return cancel(ServeQuery(query, {"client"}));
    if (path == "/api/image") {
        return image(ServeQuery(query, {"id", "format", "exposure", "tonemap", "download"}));
    }
    if (path == "/api/partial") {
        return partial(ServeQuery(query, {"client", "under", "exposure", "tonemap"}));
    }
    if (path == "/api/scene-file") {
        return scene_file(
            ServeQuery(query, {"scene", "set", "width", "height", "orbit", "zoom", "pan"}));
    }
    return text_answer(404, "no such page: " + path);
}

// Requests that render wait for the renderer; the others must not wait behind them.
bool ServeAnswers::Served::quick(const HttpRequest& request) {
    const std::string path = split_target(request.target).first;
    return path != "/api/render" && path != "/api/sheet";
}

ServeAnswers::ServeAnswers(ServeSettings settings, std::unique_ptr<SceneCache> scenes)
    : served_(std::make_unique<Served>(std::move(settings), std::move(scenes))) {}

ServeAnswers::~ServeAnswers() = default;

HttpResponse ServeAnswers::answer(const HttpRequest& request) { return served_->answer(request); }

void ServeAnswers::stop() { served_->stop(); }

bool ServeAnswers::quick(const HttpRequest& request) { return Served::quick(request); }

}  // namespace tmhost
