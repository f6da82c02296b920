// The body of each command, as the command table names it: it reads the line run_command has
// parsed (and answered --help for) and answers the command's exit code, or throws.
#ifndef TMHOST_COMMAND_BODIES_H
#define TMHOST_COMMAND_BODIES_H

#include "host/commands/command.h"
#include "host/commands/command_line.h"

namespace tmhost {

int info_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output);
int render_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output);
int sheet_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output);
int describe_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output);
int scene_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output);
int validate_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output);
int serve_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output);

}  // namespace tmhost

#endif
