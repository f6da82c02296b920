#include "host/commands/serve_job.h"

#include "host/commands/camera_options.h"

#include "host/commands/command_error.h"

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
        throw UsageError(std::string(name) + ": expected a whole number from " +
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
    for (const std::string& word : stage_arguments(stage)) words.push_back(word);
    words.insert(words.end(), view_words.begin(), view_words.end());
    return words;
}

void read_query_view(const ServeQuery& query, ServeJob& job) {
    // The words keep the query's own text: the command line reads it to the same bits.
    if (const auto orbit = query.value("orbit")) {
        read_orbit(*orbit, "orbit", job.view);
        if (job.view.azimuth != 0.0 || job.view.elevation != 0.0) {
            job.view_words.insert(job.view_words.end(), {"--camera-orbit", *orbit});
        }
    }
    if (const auto zoom = query.value("zoom")) {
        read_zoom(*zoom, "zoom", job.view);
        if (job.view.zoom != 1.0)
            job.view_words.insert(job.view_words.end(), {"--camera-zoom", *zoom});
    }
    if (const auto pan = query.value("pan")) {
        read_pan(*pan, "pan", job.view);
        if (job.view.pan_right != 0.0 || job.view.pan_up != 0.0) {
            job.view_words.insert(job.view_words.end(), {"--camera-pan", *pan});
        }
    }
}

}  // namespace tmhost
