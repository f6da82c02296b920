// The commands of tonemix-host (info, render, sheet, describe, scene, validate) and what they
// share: the settings the program gives them, the lines they answer and one set of exit codes. A
// command prints nothing itself but its progress bar; the program prints its output lines in order.
#ifndef TMHOST_COMMAND_H
#define TMHOST_COMMAND_H

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/commands/command_line.h"
#include "host/image/image.h"
#include "host/loading/module_session.h"
#include "host/render/prepared_scene.h"
#include "host/render/scene_renderer.h"

namespace tmhost {

// The exit codes of every command and of the program.
enum ExitCode : int {
    EXIT_CLEAN = 0,  // done, and the module left nothing behind
    EXIT_FAULT = 1,  // done, but the module left something behind or answered wrongly
    EXIT_USAGE = 2,  // bad command line, scene or module: nothing was written
};

struct OutputLine;

struct CommandSettings {
    std::string default_module;       // the module beside the program
    bool show_progress = false;       // stderr is a terminal
    bool stdout_is_terminal = false;  // no image goes there then
    // Tests: called on the host before the module loads.
    ModuleSession::PrepareHost prepare_host = nullptr;
    // tonemix-host serve runs its commands in one module session, started once with its shader
    // checked (null: a command loads the module itself and ends it), watches their renders, and
    // takes the image a render or sheet makes (CommandOutput::image) instead of having it
    // written, to encode it as it is asked.
    ModuleSession* shared_session = nullptr;
    RenderWatch* watch = nullptr;
    bool keep_image = false;
    // The scenes serve keeps: a command takes its scene from there instead of reading it.
    SceneCache* scenes = nullptr;
    // Held by a render while it makes and frees its nodes (ShadeSettings::host_work).
    std::mutex* host_work = nullptr;
    // The program's: prints a warning or a note the moment the command writes it, so that what a
    // command says of its scene comes before a long render, not after it. Null: lines wait for
    // the command's end.
    void (*show_now)(const OutputLine& line) = nullptr;
};

enum class Channel {
    out,      // a result line, stdout
    error,    // the one line of an error, stderr
    warning,  // stderr, after "warning: "
    note,     // stderr as it is: a report that cannot go to stdout, which carries an image
};

struct OutputLine {
    Channel channel = Channel::out;
    std::string text;
    bool shown = false;  // printed already, by CommandSettings::show_now
};

struct CommandOutput {
    int status = EXIT_CLEAN;
    std::vector<OutputLine> lines;  // in the order they were written
    // A result that is written to stdout whole, before any line (an image for "-o -"); a command
    // that sets it puts no line on Channel::out.
    std::string standard_output_bytes;
    // With CommandSettings::keep_image: the image the command made, in place of its output.
    std::shared_ptr<const Image> image;
    // From CommandSettings::show_now: warnings and notes go out at once.
    void (*show_now)(const OutputLine& line) = nullptr;

    // Each is one line: control bytes in the text are escaped.
    void out(const std::string& text);
    void error(const std::string& text);
    void warning(const std::string& text);
    void note(const std::string& text);

private:
    // With show_now: prints the lines not printed yet, this warning or note the last of them.
    void show_written();
};

using CommandArguments = std::vector<std::string>;  // the arguments after the command's name

// What a command does with its parsed line, once --help is answered: writes its lines and
// answers its exit code, or throws one of command_error.h's kinds (or a lower layer's error).
using CommandBody = int (*)(const CommandLine& line, const CommandSettings& settings,
                            CommandOutput& output);

struct Command {
    const char* name;
    const char* positional;        // "[SCENE]", as usage shows the plain argument
    const char* positional_label;  // "scene file", as the parser's messages name it
    const char* summary;
    // The options the command reads, the same table its parser takes.
    const std::vector<OptionRule>& (*options)();
    CommandBody body;
};

// Every command, in the order usage lists them; a new command is one entry there.
const std::vector<Command>& commands();
// The command of that name, or null.
const Command* find_command(const std::string& name);

// Runs a command: parses its line with its options; --help answers the usage lines (exit 0)
// without the body; anything the parser or the body throws becomes its one error line and the
// exit code of its kind (exit_code_of): a bad command line, scene or module EXIT_USAGE, a result
// lost on its way out EXIT_FAULT, a shortage of memory "<command>: out of memory ..." and any
// other failure "<command> failed: <why>", both EXIT_USAGE.
CommandOutput run_command(const Command& command, const CommandArguments& arguments,
                          const CommandSettings& settings);
// For NAME --help: "usage: tonemix-host NAME [PLAIN] [OPTION]..." (every option but --help),
// the summary and every option with its values, in 80 columns. None for an unknown name.
std::vector<std::string> usage_lines(const char* name);
// For tonemix-host --help: the program's usage and every command's synopsis and summary.
std::vector<std::string> program_usage_lines();
// The one line for a command name that is none: "unknown command 'paint'; ..." (escaped).
std::string unknown_command_line(const std::string& name);

// For tonemix-host --version: the program's version, the commit it was built from and its build
// ("tonemix-host 1.0+14c54eb000 (Linux build)": the file VERSION and git), then the default
// module's version as its banner states it when it loads ("module Tonemix 2.03: PATH"), or why it
// did not load. Exit 0 either way: the program answered.
CommandOutput run_version(const CommandSettings& settings);

const std::vector<OptionRule>& info_options();
const std::vector<OptionRule>& render_options();
const std::vector<OptionRule>& sheet_options();
const std::vector<OptionRule>& describe_options();
const std::vector<OptionRule>& scene_options();
const std::vector<OptionRule>& validate_options();
const std::vector<OptionRule>& serve_options();

// Each command by its name, as run_command runs it.
CommandOutput run_info(const CommandArguments& arguments, const CommandSettings& settings);
CommandOutput run_render(const CommandArguments& arguments, const CommandSettings& settings);
CommandOutput run_sheet(const CommandArguments& arguments, const CommandSettings& settings);
CommandOutput run_describe(const CommandArguments& arguments, const CommandSettings& settings);
CommandOutput run_scene(const CommandArguments& arguments, const CommandSettings& settings);
CommandOutput run_validate(const CommandArguments& arguments, const CommandSettings& settings);
CommandOutput run_serve(const CommandArguments& arguments, const CommandSettings& settings);

// The options that mean the same in every command that takes them.
extern const OptionRule kModuleOption;
extern const OptionRule kTrustDescriptionOption;
extern const OptionRule kHelpOption;

// How far the command's --trust-description lets it trust the module's description.
ModuleSession::Trust description_trust(const CommandLine& line);

// The module a command loads: `given` (its --module) or the one beside the program, made
// absolute, since the module derives its resource folder from its path.
std::string module_path(const std::optional<std::string>& given, const CommandSettings& settings);

// The module session a command runs in: one of its own, loaded from `module` with its shader
// checked as `trust` says (a crash of the module is one line), or the settings' shared one,
// which the command neither loads nor ends. Throws ModuleError as ModuleSession does.
class CommandSession {
public:
    CommandSession(const std::string& module, ModuleSession::Trust trust,
                   const CommandSettings& settings);

    ModuleSession& get() const { return *session_; }
    // Ends a session of the command's own: one line per thing the module left behind, as
    // ModuleSession::finish says them; nothing for the shared one.
    std::vector<std::string> finish();

private:
    std::unique_ptr<ModuleSession> own_;
    ModuleSession* session_;
};

}  // namespace tmhost

#endif
