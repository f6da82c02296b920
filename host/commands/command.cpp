#include "host/commands/command.h"

#include <cstring>

#include "host/commands/command_bodies.h"
#include "host/commands/program_paths.h"
#include "host/commands/text_table.h"
#include "host/core/text_format.h"

namespace tmhost {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"info", "[MODULE]", "module file",
         "load MODULE (default: Tonemix.cdl beside this program or in Tonemix/ beside it), send "
         "its lifecycle messages, "
         "run one shader node through set-up, a few shaded points and tear-down, and report "
         "its console, its registration, what it left behind and whether every step answered "
         "as a host expects; -v reports every step",
         info_options, info_body},
        {"render", "[SCENE]", "scene file",
         "render SCENE (a scene file, or a model file .obj .ply .stl .gltf .glb on a stage of its "
         "own; default: the built-in scene) with the module's shader into FILE (.png, .pfm or "
         ".exr; default: tonemix.png)",
         render_options, render_body},
        {"sheet", "[SCENE]", "scene file",
         "render SCENE once for each value of --vary NAME=V1,V2,... (a grid for two --vary) and "
         "put the renders side by side, each labelled with its value and the shared values in "
         "a caption, into one image: a contact sheet of what a parameter does",
         sheet_options, sheet_body},
        {"describe", "[SCENE]", "scene file",
         "show the shader's parameters as the module describes them, with the values of SCENE "
         "(default: the built-in scene) and whether each is enabled for them",
         describe_options, describe_body},
        {"scene", "NAME", "scene name",
         "print the scene NAME as a scene file to start from: builtin, which render and describe "
         "use without a SCENE, or the stage the host builds around a model file",
         scene_options, scene_body},
        {"validate", "[MODULE]", "module file",
         "put MODULE (default: Tonemix.cdl beside this program or in Tonemix/ beside it) through "
         "every group of hostile "
         "host behaviour, each group in a child process so that a crash or a hang fails that "
         "group alone; one line per group, exit 0 only when every group passed",
         validate_options, validate_body},
        {"serve", "[SCENE]", "scene file",
         "a live preview at http://127.0.0.1:PORT/ until Ctrl-C: the shader's controls, the "
         "image refining as they change, contact sheets and the command line of what it shows; "
         "SCENE (default: the built-in scene) first, the scenes folder's on a click",
         serve_options, serve_body},
    };
    return table;
}

const Command* find_command(const std::string& name) {
    for (const Command& command : commands()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

namespace {

// Words after `lead` on lines of 80 columns, lines after the first indented under the first word.
std::vector<std::string> hanging(const std::string& lead, const std::vector<std::string>& words) {
    constexpr std::size_t kWidth = 80;
    std::vector<std::string> lines = {lead};
    const std::string margin(lead.size() + 1, ' ');
    bool first_on_line = true;
    for (const std::string& word : words) {
        if (!first_on_line && lines.back().size() + 1 + word.size() > kWidth) {
            lines.push_back(margin + word);
            continue;
        }
        lines.back() += " " + word;
        first_on_line = false;
    }
    return lines;
}

std::vector<std::string> synopsis_words(const Command& command) {
    std::vector<std::string> words = {command.positional};
    for (const OptionRule& rule : command.options()) {
        if (std::strcmp(rule.name, "--help") != 0) words.push_back(option_synopsis(rule));
    }
    return words;
}

}  // namespace

std::vector<std::string> usage_lines(const char* name) {
    const Command* command = find_command(name);
    if (command == nullptr) return {};
    std::vector<std::string> lines =
        hanging(std::string("usage: tonemix-host ") + command->name, synopsis_words(*command));
    for (std::string& line : wrap_text(command->summary, 2)) lines.push_back(std::move(line));
    lines.push_back("");
    lines.push_back("options:");
    for (const OptionRule& rule : command->options()) {
        for (std::string& line : option_help(rule)) lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> program_usage_lines() {
    std::vector<std::string> lines = {"usage: tonemix-host COMMAND [ARGUMENTS]",
                                      "       tonemix-host COMMAND --help",
                                      "       tonemix-host --version", "", "commands:"};
    for (const Command& command : commands()) {
        for (std::string& line :
             hanging(std::string("  ") + command.name, synopsis_words(command))) {
            lines.push_back(std::move(line));
        }
        for (std::string& line : wrap_text(command.summary, 6)) lines.push_back(std::move(line));
    }
    return lines;
}

std::string unknown_command_line(const std::string& name) {
    return one_line("unknown command '" + name + "'; `tonemix-host --help` lists the commands");
}

void CommandOutput::out(const std::string& text) {
    lines.push_back({Channel::out, one_line(text)});
}

void CommandOutput::error(const std::string& text) {
    lines.push_back({Channel::error, one_line(text)});
}

void CommandOutput::warning(const std::string& text) {
    lines.push_back({Channel::warning, one_line(text)});
    show_written();
}

void CommandOutput::note(const std::string& text) {
    lines.push_back({Channel::note, one_line(text)});
    show_written();
}

void CommandOutput::show_written() {
    if (show_now == nullptr) return;
    // Every line not shown yet, in order: the lines keep the order they were written in.
    for (OutputLine& line : lines) {
        if (line.shown) continue;
        show_now(line);
        line.shown = true;
    }
}

constexpr OptionRule kModuleOption =
    OptionRule::valued("--module", "PATH", "the module file")
        .with_values("default: Tonemix.cdl beside this program or in Tonemix/ beside it");
constexpr OptionRule kTrustDescriptionOption = OptionRule::flag(
    "--trust-description",
    "use the module's description even where it disagrees with the module's own defaults");
constexpr OptionRule kHelpOption =
    OptionRule::flag("--help", "show this help and exit").with_alias("-h");

ModuleSession::Trust description_trust(const CommandLine& line) {
    return line.has(kTrustDescriptionOption.name) ? ModuleSession::Trust::description_as_given
                                                  : ModuleSession::Trust::checked;
}

CommandSession::CommandSession(const std::string& module, ModuleSession::Trust trust,
                               const CommandSettings& settings)
    : session_(settings.shared_session) {
    if (session_ != nullptr) return;
    own_ = std::make_unique<ModuleSession>(module, settings.prepare_host,
                                           ModuleSession::OnCrash::one_line);
    own_->require_shader(trust);
    session_ = own_.get();
}

std::vector<std::string> CommandSession::finish() {
    return own_ ? own_->finish() : std::vector<std::string>();
}

std::string module_path(const std::optional<std::string>& given, const CommandSettings& settings) {
    return absolute_path(given.value_or(settings.default_module));
}

}  // namespace tmhost
