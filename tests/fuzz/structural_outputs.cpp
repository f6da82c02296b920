#include "fuzz/structural_outputs.h"

#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "fuzz/verdict.h"
#include "host/commands/command.h"
#include "host/image/whole_file.h"

namespace tonemix_fuzz {

namespace {

namespace fs = std::filesystem;

using Command = tmhost::CommandOutput (*)(const tmhost::CommandArguments&,
                                          const tmhost::CommandSettings&);

// What is wrong with a run of `command`: the verdict every case has, another exit code than
// `status`, or what `also` finds.
std::string judged(Command command, const std::vector<std::string>& arguments, int status,
                   const std::function<std::string(const tmhost::CommandOutput&)>& also) {
    tmhost::CommandSettings settings;
    settings.default_module = TONEMIX_MODULE_FILE;
    const tmhost::CommandOutput output = command(arguments, settings);
    std::string wrong = verdict(output);
    if (wrong.empty() && output.status != status) {
        wrong =
            "exit " + std::to_string(output.status) + ", " + std::to_string(status) + " expected";
    }
    if (wrong.empty() && also) wrong = also(output);
    if (!wrong.empty()) {
        for (const tmhost::OutputLine& line : output.lines) wrong += "\n  | " + line.text;
    }
    return wrong;
}

}  // namespace

void outputs_of_files_read(const CaseCheck& check, const fs::path& folder) {
    const fs::path module = folder / "read" / "Tonemix.cdl";
    fs::create_directories(module.parent_path());
    fs::copy_file(TONEMIX_MODULE_FILE, module, fs::copy_options::overwrite_existing);
    fs::copy(fs::path(TONEMIX_MODULE_FILE).parent_path() / "res", module.parent_path() / "res",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const std::string source = TONEMIX_SOURCE_DIR;
    const fs::path scene = folder / "read" / "mesh.json";
    fs::copy_file(source + "/scenes/mesh_icosphere.json", scene,
                  fs::copy_options::overwrite_existing);
    fs::create_directories(folder / "read" / "meshes");
    fs::copy_file(source + "/scenes/meshes/icosphere.obj", folder / "read/meshes/icosphere.obj",
                  fs::copy_options::overwrite_existing);
    const std::string description =
        (module.parent_path() / "res/description/Xtonemix.json").string();
    const fs::path hard_link = folder / "read" / "hard.png";
    fs::create_hard_link(module, hard_link);

    const std::vector<std::string> small = {"--width",   "8",  "--height", "6",
                                            "--threads", "2",  "--module", module.string(),
                                            "--format",  "png"};
    const struct {
        const char* name;
        Command command;
        std::vector<std::string> arguments;
        std::string output;
    } refused[] = {
        {"render onto the module", tmhost::run_render, {}, module.string()},
        {"render onto a hard link to the module", tmhost::run_render, {}, hard_link.string()},
        {"render onto the module's description", tmhost::run_render, {}, description},
        {"render onto its scene", tmhost::run_render, {scene.string()}, scene.string()},
        {"sheet onto its scene's mesh",
         tmhost::run_sheet,
         {scene.string(), "--vary", "samples=1,2"},
         (folder / "read/meshes/icosphere.obj").string()},
    };
    for (const auto& c : refused) {
        check(c.name, [&] {
            const std::string before = tmhost::read_file(c.output);
            std::vector<std::string> arguments = c.arguments;
            arguments.insert(arguments.end(), small.begin(), small.end());
            arguments.insert(arguments.end(), {"-o", c.output});
            const std::string wrong = judged(c.command, arguments, 2, nullptr);
            if (!wrong.empty()) return wrong;
            return tmhost::read_file(c.output) == before ? "" : c.output + " was changed";
        });
    }
    const std::pair<const char*, std::string> junits[] = {{"the module", module.string()},
                                                          {"its description", description}};
    for (const auto& named : junits) {
        const std::string& junit = named.second;
        check(std::string("validate --junit onto ") + named.first, [&] {
            const std::string before = tmhost::read_file(junit);
            const std::string wrong =
                judged(tmhost::run_validate,
                       {module.string(), "--only", "lifecycle", "--level", "1", "--junit", junit},
                       2, nullptr);
            if (!wrong.empty()) return wrong;
            return tmhost::read_file(junit) == before ? "" : junit + " was changed";
        });
    }
    check("validate --junit -", [&] {
        return judged(tmhost::run_validate,
                      {module.string(), "--only", "lifecycle", "--level", "1", "--in-process",
                       "--junit", "-"},
                      0, [](const tmhost::CommandOutput& output) -> std::string {
                          if (output.standard_output_bytes.rfind("<?xml ", 0) != 0)
                              return "no XML on standard output";
                          return fs::exists("-") ? "a file named -" : "";
                      });
    });
    const std::string private_image = (folder / "private.png").string();
    tmhost::replace_file(private_image, "earlier");
    chmod(private_image.c_str(), 0600);
    check("render over a 0600 file", [&] {
        std::vector<std::string> arguments = small;
        arguments.insert(arguments.end(), {"-o", private_image});
        return judged(tmhost::run_render, arguments, 0, [&](const tmhost::CommandOutput&) {
            struct stat status {};
            stat(private_image.c_str(), &status);
            return (status.st_mode & 0777) == 0600 ? "" : "the file is no longer 0600";
        });
    });
}

}  // namespace tonemix_fuzz
