// The commands of tonemix-host. Each lives in a file of its own and is listed once in main.cpp.
#ifndef TMHOST_PROGRAM_COMMANDS_H
#define TMHOST_PROGRAM_COMMANDS_H

#include <string>
#include <vector>

namespace tmhost {

// Exit codes shared by every command.
enum : int {
    EXIT_CLEAN = 0,  // the module ran and left nothing behind
    EXIT_FAULT = 1,  // a message failed or the module left something behind
    EXIT_USAGE = 2,  // bad command line, or the module could not be loaded
};

struct Command {
    const char* name;
    const char* arguments;  // as usage shows them
    const char* summary;
    int (*run)(const std::vector<std::string>& arguments);
};

int run_info(const std::vector<std::string>& arguments);
int run_render_command(const std::vector<std::string>& arguments);
int run_describe_command(const std::vector<std::string>& arguments);

}  // namespace tmhost

#endif
