// serve's answers of images: a kept image at the look a page asks for, and the rows of a running
// render done so far.
#include <memory>
#include <optional>
#include <string>

#include "host/commands/command_error.h"
#include "host/commands/serve_requests.h"

namespace tmhost {

HttpResponse ServeAnswers::Served::partial(const ServeQuery& query) const {
    const std::shared_ptr<LiveImage> live = renders_.live(query.value("client").value_or(""));
    if (!live) return text_answer(404, "no render of this client is running");
    const ImageLook look = query_look(query);
    std::shared_ptr<const Image> under;
    if (const auto id = query.value("under")) under = images_.find(*id);
    HttpResponse response;
    response.content_type = "image/png";
    response.body = encoded_image(live->snapshot(under.get()), "png", look);
    return response;
}

HttpResponse ServeAnswers::Served::image(const ServeQuery& query) const {
    const std::string id = query.value("id").value_or("");
    const std::shared_ptr<const Image> found = images_.find(id);
    if (!found) return text_answer(404, "no image '" + id + "' (the server keeps the last 64)");
    const std::string format = query.value("format").value_or("png");
    if (format != "png" && format != "exr") {
        throw UsageError("format: expected png or exr, got '" + format + "'");
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

}  // namespace tmhost
