#include "host/program/render_context.h"

#include "host/program/commands.h"
#include "host/program/program_output.h"
#include "host/program/program_paths.h"
#include "host/render/progress_bar.h"

namespace tmhost {

// The render and describe commands' answers are the program's exit codes.
static_assert(int{COMMAND_CLEAN} == int{EXIT_CLEAN} && int{COMMAND_FAULT} == int{EXIT_FAULT} &&
              int{COMMAND_ERROR} == int{EXIT_USAGE});

void ProgramReport::out(const std::string& line) { out_line(line); }

void ProgramReport::error(const std::string& line) { error_line(line); }

void ProgramReport::warning(const std::string& line) { error_line("warning: " + line); }

bool ProgramReport::show_progress() const { return stderr_is_terminal(); }

CommandContext program_context(ProgramReport& report) {
    return CommandContext{report, default_module_path(), absolute_path, {}};
}

}  // namespace tmhost
