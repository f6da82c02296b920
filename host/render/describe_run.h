// tonemix-host describe: the shader's parameter sheet as the host's interface shows it, with the
// values a scene gives and whether the module enables each parameter for them.
#ifndef TMHOST_DESCRIBE_RUN_H
#define TMHOST_DESCRIBE_RUN_H

#include <string>
#include <vector>

#include "host/render/command_context.h"

namespace tmhost {

extern const char* const kDescribeArguments;
extern const char* const kDescribeSummary;

// Arguments after "describe". Every fault is one line on the report's error and COMMAND_ERROR.
int run_describe(const std::vector<std::string>& arguments, const CommandContext& context);

}  // namespace tmhost

#endif
