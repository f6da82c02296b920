// tonemix-host serve: the module's shader on a page in the browser. This first step serves the
// page's data: the parameters as describe --json gives them, and renders as render gives them,
// each through the command itself, so that the page's image and the command line's are one.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/http/http_server.h"
#include "host/render/render_error.h"

namespace tmhost {

namespace {

constexpr const char* kPage = R"(<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>Tonemix</title></head>
<body><h1>Tonemix</h1><img id="image" src="/api/render.png" alt="the render"></body></html>
)";

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A query string's text with its escapes ("%2C") and "+" (a space) undone; a "%" that starts no
// escape stays as it is.
std::string decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
            continue;
        }
        if (c == '%' && i + 2 < text.size()) {
            const int high = hex_digit(text[i + 1]);
            const int low = hex_digit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// The query's pairs as command-line arguments: width=64 is "--width 64", set=samples=4 is
// "--set samples=4". Only the names the render options know.
CommandArguments query_arguments(const std::string& query) {
    CommandArguments arguments;
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        const std::string name = decoded(pair.substr(0, equals));
        const std::string value =
            equals == std::string::npos ? "" : decoded(pair.substr(equals + 1));
        if (name != "width" && name != "height" && name != "set" && name != "pixel-samples") {
            throw RenderError("unknown query parameter '" + name + "'");
        }
        arguments.push_back("--" + name);
        arguments.push_back(value);
    }
    return arguments;
}

HttpResponse text(int status, const std::string& body) {
    HttpResponse response;
    response.status = status;
    response.body = body + "\n";
    return response;
}

class Served {
public:
    Served(std::optional<std::string> scene, CommandSettings settings)
        : scene_(std::move(scene)), settings_(std::move(settings)) {
        settings_.show_progress = false;
        settings_.stdout_is_terminal = false;
    }

    HttpResponse answer(const HttpRequest& request) {
        if (request.method != "GET") return text(405, "only GET is served");
        const std::size_t mark = request.target.find('?');
        const std::string path = request.target.substr(0, mark);
        const std::string query = mark == std::string::npos ? "" : request.target.substr(mark + 1);
        if (path == "/") {
            HttpResponse page;
            page.content_type = "text/html; charset=utf-8";
            page.body = kPage;
            return page;
        }
        if (path == "/api/parameters") return parameters();
        if (path == "/api/render.png") return render(query);
        return text(404, "no such page: " + path);
    }

private:
    CommandArguments with_scene(CommandArguments arguments) const {
        if (scene_) arguments.insert(arguments.begin(), *scene_);
        return arguments;
    }

    // One module session at a time: the stand-in host's calls reach the one active host.
    HttpResponse parameters() {
        const std::lock_guard<std::mutex> lock(session_mutex_);
        const CommandOutput output = run_describe(with_scene({"--json"}), settings_);
        if (output.status == EXIT_USAGE) return text(400, output.lines.front().text);
        HttpResponse response;
        response.content_type = "application/json";
        for (const OutputLine& line : output.lines) {
            if (line.channel == Channel::out) response.body += line.text + "\n";
        }
        return response;
    }

    HttpResponse render(const std::string& query) {
        CommandArguments arguments;
        try {
            arguments = query_arguments(query);
        } catch (const RenderError& error) {
            return text(400, error.what());
        }
        arguments.insert(arguments.end(), {"-o", "-", "--format", "png"});
        const std::lock_guard<std::mutex> lock(session_mutex_);
        const CommandOutput output = run_render(with_scene(arguments), settings_);
        for (const OutputLine& line : output.lines) {
            if (line.channel == Channel::error) return text(400, line.text);
        }
        HttpResponse response;
        response.content_type = "image/png";
        response.body = output.standard_output_bytes;
        return response;
    }

    std::optional<std::string> scene_;
    CommandSettings settings_;
    std::mutex session_mutex_;
};

int serve(const CommandArguments& arguments, const CommandSettings& settings,
          CommandOutput& output) {
    const CommandLine line(arguments, serve_options(), "scene file");
    if (line.has("--help")) {
        for (std::string& text : usage_lines("serve")) output.out(std::move(text));
        return EXIT_CLEAN;
    }
    CommandSettings served_settings = settings;
    served_settings.default_module = module_path(line.value("--module"), settings);
    Served served(line.positional(), served_settings);
    const int port = line.integer("--port", 0, 65535).value_or(0);
    try {
        HttpServer server(static_cast<std::uint16_t>(port),
                          [&](const HttpRequest& request) { return served.answer(request); });
        server.stop_on_signals();
        // Printed at once, not with the command's lines at its end: a user needs the address now.
        std::printf("serving http://127.0.0.1:%u/; Ctrl-C stops\n",
                    static_cast<unsigned>(server.port()));
        std::fflush(stdout);
        server.run();
    } catch (const HttpError& error) {
        throw RenderError(std::string("serve: ") + error.what());
    }
    return EXIT_CLEAN;
}

}  // namespace

const std::vector<OptionRule>& serve_options() {
    static const std::vector<OptionRule> rules = {
        {"--port", nullptr, true, false, "N", "0 to 65535; default: 0, a free port",
         "the port on 127.0.0.1 to serve on"},
        kModuleOption,
        kHelpOption,
    };
    return rules;
}

CommandOutput run_serve(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("serve", serve, arguments, settings);
}

}  // namespace tmhost
