#include "fuzz/structural_modules.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "elf_sections.h"
#include "host/image/whole_file.h"

namespace tonemix_fuzz {

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSmall = {"--width", "8", "--height", "6", "--threads", "2"};

// A child running the program; its exit status, or -1 when it was still running after the time
// (and was killed), or -2 - signal when a signal ended it.
int run_child(const std::vector<std::string>& arguments, const std::string& out,
              const std::string& err, int seconds) {
    const pid_t child = fork();
    if (child == 0) {
        const int out_file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err_file = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out_file, STDOUT_FILENO);
        dup2(err_file, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(125);
    }
    if (child < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    if (WIFSIGNALED(status)) return -2 - WTERMSIG(status);
    return WEXITSTATUS(status);
}

std::vector<std::string> lines_of(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = tmhost::read_file(path);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

void damaged_module_cases(const CaseCheck& check, StructuralRun& run, const fs::path& folder,
                          uint32_t seed, const DamagedModules& damaged, bool verbose) {
    const std::string whole = tmhost::read_file(damaged.module);
    std::mt19937 random(seed);
    const fs::path module = folder / "damaged" / "Tonemix.cdl";
    fs::create_directories(module.parent_path());
    fs::copy(fs::path(damaged.module).parent_path() / "res", module.parent_path() / "res",
             fs::copy_options::recursive);
    const std::string out = (folder / "child.out").string();
    const std::string err = (folder / "child.err").string();
    const std::string image = (folder / "damaged.png").string();
    for (const char* section : {".text", ".rodata", ".data.rel.ro", ".dynamic", ".rel.dyn",
                                ".rel.plt", ".init_array", ".got", ".dynsym", ".gnu.hash"}) {
        const auto found = tonemix_test::elf_section(whole, section);
        if (!found || found->size < 4) continue;
        for (int damage = 0; damage < damaged.count; ++damage) {
            std::string bytes = whole;
            const std::uint32_t at = found->offset + random() % (found->size - 3);
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(random() & 0xff);
            tmhost::replace_file(module.string(), bytes);
            const int command = static_cast<int>(random() % 3);
            std::vector<std::string> arguments = {damaged.program};
            if (command == 0) arguments.insert(arguments.end(), {"info", module.string()});
            if (command == 1)
                arguments.insert(arguments.end(), {"describe", "--module", module.string()});
            if (command == 2) {
                arguments.insert(arguments.end(),
                                 {"render", "--module", module.string(), "-o", image});
                arguments.insert(arguments.end(), kSmall.begin(), kSmall.end());
            }
            const std::string name = std::string(arguments[1]) + " of a module damaged in " +
                                     section + " at byte " + std::to_string(at);
            check(name, [&] {
                const int status = run_child(arguments, out, err, 30);
                if (status == -1) {
                    ++run.hung;
                    std::printf("structural case %s: hung (killed after 30 s)\n", name.c_str());
                    return std::string();
                }
                if (verbose) {
                    const std::vector<std::string> said = lines_of(err);
                    std::printf("  exit %d%s%s\n", status, said.empty() ? "" : ": ",
                                said.empty() ? "" : said.back().substr(0, 120).c_str());
                }
                if (status < -1) return "ended by signal " + std::to_string(-2 - status);
                if (status > 2) return "exit " + std::to_string(status);
                const std::vector<std::string> errors = lines_of(err);
                if (status == 2 && (errors.size() != 1 || !lines_of(out).empty())) {
                    std::string wrong =
                        "exit 2 with " + std::to_string(errors.size()) + " lines on stderr";
                    for (const std::string& line : errors) wrong += "\n  | " + line;
                    return wrong;
                }
                return std::string();
            });
        }
    }
    // validate of a module that crashes as it loads: every group says so, and the report is
    // written.
    const auto init = tonemix_test::elf_section(whole, ".init_array");
    if (init) {
        std::string bytes = whole;
        for (std::uint32_t i = 0; i < init->size; ++i) bytes[init->offset + i] = '\x11';
        tmhost::replace_file(module.string(), bytes);
        const std::string report = (folder / "damaged.xml").string();
        check("validate of a module whose constructors point nowhere", [&] {
            const int status = run_child(
                {damaged.program, "validate", module.string(), "--junit", report}, out, err, 300);
            if (status != 1) return "exit " + std::to_string(status) + ", 1 expected";
            for (const std::string& line : lines_of(out)) {
                if (line.rfind("lifecycle: FAIL: crashed during load", 0) == 0) {
                    return fs::exists(report) ? std::string() : std::string("no JUnit report");
                }
            }
            return std::string("no line \"lifecycle: FAIL: crashed during load\"");
        });
    }
}

}  // namespace tonemix_fuzz
