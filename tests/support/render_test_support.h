// Helpers of the render tests: the render and describe commands run in this process against the
// built module, with their lines captured, and renders read back as float images.
#ifndef TONEMIX_RENDER_TEST_SUPPORT_H
#define TONEMIX_RENDER_TEST_SUPPORT_H

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/commands/command.h"
#include "host/image/pfm_image.h"
#include "host/image/whole_file.h"
#include "temporary_folder.h"

namespace tonemix_test {

// A command's output lines, sorted by where the program would print them.
struct CapturedReport {
    std::vector<std::string> out_lines;
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
    std::vector<std::string> notes;
};

struct CommandRun {
    int status = -1;
    CapturedReport report;
    std::string standard_output_bytes;

    // The one error line, or "" when there was none (or more than one: a failure shows them).
    std::string error() const { return report.errors.size() == 1 ? report.errors[0] : ""; }
};

inline std::string source_path(const std::string& relative) {
    return std::string(TONEMIX_SOURCE_DIR) + "/" + relative;
}

// The built module by default, as tonemix-host finds it beside itself.
using CommandFunction = tmhost::CommandOutput (*)(const tmhost::CommandArguments&,
                                                  const tmhost::CommandSettings&);

inline CommandRun run_command(CommandFunction command, const std::vector<std::string>& arguments,
                              tmhost::ModuleSession::PrepareHost prepare = nullptr) {
    tmhost::CommandSettings settings;
    settings.default_module = TONEMIX_MODULE_FILE;
    settings.prepare_host = prepare;
    const tmhost::CommandOutput output = command(arguments, settings);
    CommandRun run;
    run.status = output.status;
    run.standard_output_bytes = output.standard_output_bytes;
    for (const tmhost::OutputLine& line : output.lines) {
        switch (line.channel) {
        case tmhost::Channel::out:
            run.report.out_lines.push_back(line.text);
            break;
        case tmhost::Channel::error:
            run.report.errors.push_back(line.text);
            break;
        case tmhost::Channel::warning:
            run.report.warnings.push_back(line.text);
            break;
        case tmhost::Channel::note:
            run.report.notes.push_back(line.text);
            break;
        }
    }
    return run;
}

inline CommandRun render(const std::vector<std::string>& arguments,
                         tmhost::ModuleSession::PrepareHost prepare = nullptr) {
    return run_command(tmhost::run_render, arguments, prepare);
}

inline CommandRun describe(const std::vector<std::string>& arguments,
                           tmhost::ModuleSession::PrepareHost prepare = nullptr) {
    return run_command(tmhost::run_describe, arguments, prepare);
}

inline CommandRun sheet(const std::vector<std::string>& arguments,
                        tmhost::ModuleSession::PrepareHost prepare = nullptr) {
    return run_command(tmhost::run_sheet, arguments, prepare);
}

inline std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// A render of `arguments` into a PFM in `folder`, returned as the file's bytes; fails the test
// (and answers "") when the command does not end cleanly.
inline std::string render_pfm_bytes(const tmhost::TemporaryFolder& folder,
                                    std::vector<std::string> arguments,
                                    const std::string& name = "render.pfm") {
    const std::string output = (folder.path() / name).string();
    arguments.push_back("-o");
    arguments.push_back(output);
    const CommandRun run = render(arguments);
    EXPECT_EQ(run.status, 0) << joined(run.report.errors) << joined(run.report.warnings);
    if (run.status != 0) return "";
    return tmhost::read_file(output);
}

inline tmhost::Image render_image(const tmhost::TemporaryFolder& folder,
                                  const std::vector<std::string>& arguments) {
    const std::string bytes = render_pfm_bytes(folder, arguments);
    return bytes.empty() ? tmhost::Image() : tmhost::decode_pfm(bytes);
}

}  // namespace tonemix_test

#endif
