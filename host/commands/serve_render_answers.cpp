// serve's renders and contact sheets, each a job over a kept scene shaded in the shared session
// for one client at a time, and their progress.
#include <memory>
#include <string>
#include <vector>

#include "host/commands/command_error.h"
#include "host/commands/scene_shading.h"
#include "host/commands/serve_requests.h"
#include "host/commands/sheet_job.h"
#include "host/render/pixel_samples.h"
#include "host/render/progress_bar.h"

namespace tmhost {

namespace {

std::vector<std::string> warning_lines(const CommandOutput& output) {
    std::vector<std::string> warnings;
    for (const OutputLine& line : output.lines) {
        if (line.channel == Channel::warning) warnings.push_back(line.text);
    }
    return warnings;
}

}  // namespace

std::string ServeAnswers::Served::command_text(const char* command,
                                               const CommandArguments& arguments) const {
    std::string line = std::string("tonemix-host ") + command;
    for (const std::string& argument : arguments) line += " " + shell_word(argument);
    if (settings_.module) line += " --module " + shell_word(*settings_.module);
    return line;
}

ServeJob ServeAnswers::Served::job_of(const ServeQuery& query) {
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

ShadeSettings ServeAnswers::Served::shade_settings(int pixel_samples) {
    ShadeSettings shading;
    shading.threads = settings_.threads.value_or(default_render_threads());
    shading.pixel_samples = pixel_samples;
    shading.host_work = &host_work_;
    return shading;
}

HttpResponse ServeAnswers::Served::shaded(const Image& made, const ShadingRun& run,
                                          const RenderStats& stats, int pixel_samples,
                                          const std::string& command) {
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

HttpResponse ServeAnswers::Served::render(const ServeQuery& query, const HttpRequest& request) {
    const ServeJob job = job_of(query);
    const ImageSize size = job.size();
    // Every value is checked before the render waits for its turn: a bad one is said at once.
    const ShadingRun run(*settings_.command.shared_session, job.scene.scene, size, job.assignments,
                         job.view);
    const int pixel_samples = job.pixel_samples.value_or(1);
    const long long samples = samples_per_point(run.session().description(), run.values());
    const long long pixels = static_cast<long long>(size.width) * size.height;
    if (!settings_.allow_long) {
        check_work(samples, samples * pixel_samples * pixels, point_cost(run.scene()), pixels,
                   "samples=" + std::to_string(samples) + " at " + std::to_string(size.width) +
                       "x" + std::to_string(size.height) +
                       (pixel_samples > 1 ? ", " + std::to_string(pixel_samples) + " pixel samples"
                                          : std::string()),
                   serve_work_limits());
    }
    ServeRenders::Turn turn(renders_, query.value("client").value_or(""), query.count("order"));
    RenderWatch& watch = turn.watch();
    watch.should_stop = request.client_gone;
    if (!turn.take_slot(request.client_gone)) return text_answer(409, "cancelled");
    auto live = std::make_shared<LiveImage>(size.width, size.height, pixel_samples);
    watch.rows_done = live->rows_done();
    watch.total_rows = size.height;
    turn.show(live);
    ProgressBar progress(size.height, false);
    const RenderStats stats =
        run.shade(run.values(), shade_settings(pixel_samples), live->image(), progress, &watch);
    if (stats.cancelled || watch.cancelled) return text_answer(409, "cancelled");
    return shaded(live->image(), run, stats, pixel_samples,
                  command_text("render", job.arguments()));
}

HttpResponse ServeAnswers::Served::sheet(const ServeQuery& query, const HttpRequest& request) {
    const std::vector<std::string> varies = query.values("vary");
    if (varies.empty()) throw UsageError("a sheet needs vary=NAME=VALUE,...");
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
    if (!turn.take_slot(request.client_gone)) return text_answer(409, "cancelled");
    ProgressBar progress(1, false);
    RenderStats stats;
    const Image image = sheet_job.shade(shade_settings(pixel_samples), progress, &watch, stats);
    if (stats.cancelled || watch.cancelled) return text_answer(409, "cancelled");
    CommandArguments words = job.arguments();
    for (const std::string& vary : varies) words.insert(words.end(), {"--vary", vary});
    return shaded(image, run, stats, pixel_samples, command_text("sheet", words));
}

HttpResponse ServeAnswers::Served::progress(const ServeQuery& query) const {
    const RenderProgress now = renders_.progress(query.value("client").value_or(""));
    return json_answer({{"running", now.running},
                        {"done", now.done},
                        {"total", now.total},
                        {"pixel_samples", now.pixel_samples}});
}

HttpResponse ServeAnswers::Served::cancel(const ServeQuery& query) {
    return json_answer({{"cancelled", renders_.cancel(query.value("client").value_or(""))}});
}

}  // namespace tmhost
