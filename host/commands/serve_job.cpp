#include "host/commands/serve_job.h"

#include "host/render/render_error.h"

namespace tmhost {

ImageLook query_look(const ServeQuery& query) {
    ImageLook look;
    if (const auto exposure = query.value("exposure")) {
        const double ev = exposure_value(*exposure, "exposure");
        if (ev != 0.0) look.exposure = ev;
    }
    if (const auto name = query.value("tonemap")) look.tone_map = tone_map_value(*name, "tonemap");
    return look;
}

std::string encoded_image(const Image& image, const std::string& format, const ImageLook& look) {
    CommandOutput encoded;
    ImageOutput(ImageOutput::kStandardOutput, format, false, look).write(image, encoded);
    return std::move(encoded.standard_output_bytes);
}

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

CommandArguments ServeJob::arguments() const {
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

}  // namespace tmhost
