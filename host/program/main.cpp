// tonemix-host: loads a built Tonemix.cdl through c4d_main alone and drives it as a host would.
#include <cstdio>
#include <string>
#include <vector>

#include "host/commands/command.h"
#include "host/commands/program_paths.h"
#include "host/program/process_setup.h"
#include "host/program/program_output.h"
#include "host/render/progress_bar.h"

namespace {

void print_usage(bool on_stdout) {
    for (const std::string& line : tmhost::program_usage_lines()) {
        if (on_stdout) {
            tmhost::out_line(line);
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }
    if (!on_stdout) std::fflush(stderr);
}

// A clean status, unless what went to stdout was lost: then one line, and the status of a fault.
int delivered(int status) {
    const std::string lost = tmhost::finish_standard_output();
    if (lost.empty()) return status;
    tmhost::error_line("cannot write to standard output: " + lost);
    return status == tmhost::EXIT_CLEAN ? tmhost::EXIT_FAULT : status;
}

void print_line(const tmhost::OutputLine& line) {
    switch (line.channel) {
    case tmhost::Channel::out:
        tmhost::out_line(line.text);
        break;
    case tmhost::Channel::error:
        tmhost::error_line(line.text);
        break;
    case tmhost::Channel::warning:
        tmhost::error_line("warning: " + line.text);
        break;
    case tmhost::Channel::note:
        tmhost::note_line(line.text);
        break;
    }
}

void print(const tmhost::CommandOutput& output) {
    if (!output.standard_output_bytes.empty()) tmhost::out_bytes(output.standard_output_bytes);
    for (const tmhost::OutputLine& line : output.lines) {
        if (!line.shown) print_line(line);
    }
}

}  // namespace

int main(int argc, char** argv) {
    tmhost::prepare_program_output();
    const std::string refused = tmhost::prepare_process();
    if (!refused.empty()) {
        tmhost::error_line(refused);
        return tmhost::EXIT_USAGE;
    }
    // serve prints its address on stdout itself, while its module is loaded.
    if (argc < 2 || std::string(argv[1]) != "serve") tmhost::keep_standard_output_from_modules();
    if (argc < 2) {
        print_usage(false);
        return tmhost::EXIT_USAGE;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        print_usage(true);  // asked for: a result, not a fault
        return delivered(tmhost::EXIT_CLEAN);
    }
    tmhost::CommandSettings settings;
    settings.default_module = tmhost::default_module_path();
    if (name == "--version" || name == "-V") {
        const tmhost::CommandOutput output = tmhost::run_version(settings);
        print(output);
        return delivered(output.status);
    }
    settings.show_progress = tmhost::is_terminal(stderr);
    settings.show_now = &print_line;
    settings.stdout_is_terminal = tmhost::is_terminal(tmhost::program_stdout());
    const tmhost::Command* command = tmhost::find_command(name);
    if (command == nullptr) {
        tmhost::error_line(tmhost::unknown_command_line(name));
        return tmhost::EXIT_USAGE;
    }
    const tmhost::CommandOutput output =
        tmhost::run_command(*command, std::vector<std::string>(argv + 2, argv + argc), settings);
    print(output);
    return delivered(output.status);
}
