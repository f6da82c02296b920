// The built tonemix-host run as a user runs it, its lines and exit code read back (Linux only).
#ifndef TONEMIX_PROGRAM_RUN_H
#define TONEMIX_PROGRAM_RUN_H

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/wait.h>
#endif

#include "host_test_support.h"

namespace tonemix_test {

#if defined(__linux__)

struct ProgramRun {
    int status = -1;
    std::vector<std::string> lines;
};

inline std::filesystem::path host_program() {
    return std::filesystem::path(module_file()).parent_path() / "tonemix-host";
}

// `program` run with `shell_arguments` after it on a shell's command line, redirections included;
// without one, only standard output is read.
// `folder`: the working folder it runs in; empty for this process's.
inline ProgramRun run_program_file(const std::filesystem::path& program,
                                   const std::string& shell_arguments,
                                   const std::string& folder = "") {
    ProgramRun run;
    const std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + "'" +
                                program.string() + "' " + shell_arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::string line;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        run.lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) run.lines.push_back(line);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The built tonemix-host, as run_program_file runs a program.
inline ProgramRun run_program(const std::string& shell_arguments, const std::string& folder = "") {
    return run_program_file(host_program(), shell_arguments, folder);
}

inline bool has_line(const ProgramRun& run, const std::string& line) {
    return std::find(run.lines.begin(), run.lines.end(), line) != run.lines.end();
}

inline std::string joined(const ProgramRun& run) {
    std::string text;
    for (const std::string& line : run.lines) text += line + "\n";
    return text;
}

#endif

}  // namespace tonemix_test

#endif
