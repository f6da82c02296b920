// The main of a test program that runs the validate command in its own process. On Windows
// validate checks each group in this program started again with its own command line (see
// host/validate/isolated_run.h), which gtest_main would answer by running every test again, each
// starting more children; this main answers such a line as tonemix-host does. Elsewhere a child
// is a fork and never comes here.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/commands/command.h"
#include "host/validate/isolated_run.h"

namespace {

bool started_as_validate_child(int argc, char** argv) {
    return argc >= 2 && std::string(argv[1]) == "validate" &&
           std::getenv(tmhost::kVerdictFileVariable) != nullptr;
}

int run_validate_child(int argc, char** argv) {
    const tmhost::CommandOutput output = tmhost::run_command(
        *tmhost::find_command("validate"), std::vector<std::string>(argv + 2, argv + argc),
        tmhost::CommandSettings{});
    for (const tmhost::OutputLine& line : output.lines) {
        std::fprintf(stderr, "%s\n", line.text.c_str());
    }
    return output.status;
}

}  // namespace

int main(int argc, char** argv) {
    if (started_as_validate_child(argc, argv)) return run_validate_child(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
