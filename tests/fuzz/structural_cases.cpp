#include "fuzz/structural_cases.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "fuzz/structural_inputs.h"
#include "fuzz/structural_modules.h"
#include "fuzz/structural_outputs.h"
#include "fuzz/verdict.h"
#include "host/commands/command.h"
#include "host/image/whole_file.h"
#include "special_files.h"
#include "temporary_folder.h"

namespace tonemix_fuzz {

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSmall = {"--width", "8", "--height", "6", "--threads", "2"};

std::vector<std::string> with(std::vector<std::string> arguments,
                              const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

class Cases {
public:
    Cases(bool verbose, StructuralRun& run) : verbose_(verbose), run_(run) {}

    // One case: `problem` answers what was wrong, "" when it ended as it must.
    void check(const std::string& name, const std::function<std::string()>& problem) {
        ++run_.cases;
        if (verbose_) {
            std::printf("structural case: %s\n", name.c_str());
            std::fflush(stdout);
        }
        const std::string wrong = problem();
        if (wrong.empty()) return;
        ++run_.failures;
        std::printf("FAIL structural case %s: %s\n", name.c_str(), wrong.c_str());
    }

    // A command in this process, judged as every fuzz case is, and then by `also`.
    void command(const std::string& name,
                 tmhost::CommandOutput (*run)(const tmhost::CommandArguments&,
                                              const tmhost::CommandSettings&),
                 const std::vector<std::string>& arguments, int status,
                 const std::function<std::string(const tmhost::CommandOutput&)>& also = nullptr) {
        check(name, [&] {
            tmhost::CommandSettings settings;
            settings.default_module = TONEMIX_MODULE_FILE;
            const tmhost::CommandOutput output = run(arguments, settings);
            std::string wrong = verdict(output);
            if (wrong.empty() && output.status != status) {
                wrong = "exit " + std::to_string(output.status) + ", " + std::to_string(status) +
                        " expected";
            }
            if (wrong.empty() && also) wrong = also(output);
            if (!wrong.empty()) {
                for (const tmhost::OutputLine& line : output.lines) wrong += "\n  | " + line.text;
            }
            return wrong;
        });
    }

private:
    bool verbose_;
    StructuralRun& run_;
};

std::string still(const std::string& path, bool (*kind)(const fs::file_status&), const char* what) {
    std::error_code error;
    return kind(fs::symlink_status(path, error)) ? "" : path + " is no longer " + what;
}

// A check that the case's first line holds `part`.
std::function<std::string(const tmhost::CommandOutput&)> says(std::string part) {
    return [part](const tmhost::CommandOutput& output) -> std::string {
        if (!output.lines.empty() && output.lines.front().text.find(part) != std::string::npos)
            return "";
        return "no line that says " + part;
    };
}

bool is_fifo_status(const fs::file_status& status) { return fs::is_fifo(status); }
bool is_device_status(const fs::file_status& status) { return fs::is_character_file(status); }

void outputs(Cases& cases, const tmhost::TemporaryFolder& folder) {
    const std::string fifo = (folder.path() / "view.png").string();
    mkfifo(fifo.c_str(), 0600);
    cases.check("render into a FIFO", [&] {
        tmhost::CommandOutput output;
        const std::string received = tonemix_test::read_through_fifo(fifo, [&] {
            tmhost::CommandSettings settings;
            settings.default_module = TONEMIX_MODULE_FILE;
            output = tmhost::run_render(with(kSmall, {"-o", fifo}), settings);
        });
        std::string wrong = verdict(output);
        if (wrong.empty() && output.status != 0) wrong = "exit " + std::to_string(output.status);
        if (wrong.empty() && received.compare(1, 3, "PNG") != 0) wrong = "no PNG came through";
        return wrong.empty() ? still(fifo, is_fifo_status, "a FIFO") : wrong;
    });

    const std::string device = (folder.path() / "full").string();
    const std::string to_device = (folder.path() / "to-full.png").string();
    if (tonemix_test::make_full_device(device)) {
        fs::create_symlink(device, to_device);
        cases.command("render into a link to a full device", tmhost::run_render,
                      with(kSmall, {"-o", to_device}), 1, [&](const tmhost::CommandOutput&) {
                          return still(device, is_device_status, "a device");
                      });
        cases.command("sheet into a link to a full device", tmhost::run_sheet,
                      with(kSmall, {"--vary", "samples=1,2", "-o", to_device}), 1,
                      [&](const tmhost::CommandOutput&) {
                          return still(device, is_device_status, "a device");
                      });
    }
    cases.command("render into /dev/null", tmhost::run_render,
                  with(kSmall, {"-o", "/dev/null", "--format", "pfm"}), 0,
                  [](const tmhost::CommandOutput&) {
                      return still("/dev/null", is_device_status, "a device");
                  });
    cases.command("render to standard output", tmhost::run_render,
                  with(kSmall, {"-o", "-", "--format", "exr"}), 0,
                  [](const tmhost::CommandOutput& output) {
                      return output.standard_output_bytes.size() > 100 ? "" : "no image bytes";
                  });
    cases.command("render to standard output without a type", tmhost::run_render,
                  with(kSmall, {"-o", "-"}), 2);

    const std::string inside = (folder.path() / "inside").string();
    fs::create_directory(inside);
    const std::string to_folder = (folder.path() / "to-folder.png").string();
    fs::create_symlink(inside, to_folder);
    cases.command("render into a link to a folder", tmhost::run_render,
                  with(kSmall, {"-o", to_folder}), 2);
    const std::string socket_path = (folder.path() / "socket.png").string();
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (listener >= 0 &&
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        cases.command("render into a socket", tmhost::run_render, with(kSmall, {"-o", socket_path}),
                      2, [&](const tmhost::CommandOutput&) {
                          std::error_code error;
                          return fs::is_socket(fs::symlink_status(socket_path, error))
                                     ? ""
                                     : "the socket was replaced";
                      });
    }
    if (listener >= 0) close(listener);
    cases.command("validate with its report in a missing folder", tmhost::run_validate,
                  {TONEMIX_MODULE_FILE, "--junit", (folder.path() / "missing/v.xml").string()}, 2,
                  says("the JUnit report"));
}

// The module's description with `parameters` parameters (the first one its own samples, with
// `samples_max` as its most), in a module folder of its own.
std::string module_with_description(const tmhost::TemporaryFolder& folder, const std::string& name,
                                    const std::string& description) {
    const fs::path module = folder.path() / name / "Tonemix.cdl";
    fs::create_directories(module.parent_path() / "res" / "description");
    fs::copy_file(TONEMIX_MODULE_FILE, module);
    const fs::path resources = fs::path(TONEMIX_MODULE_FILE).parent_path() / "res";
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(resources)) {
        const fs::path to = module.parent_path() / "res" / fs::relative(entry.path(), resources);
        if (entry.is_directory()) {
            fs::create_directories(to);
        } else if (to.filename() != "Xtonemix.json") {
            fs::copy_file(entry.path(), to, fs::copy_options::overwrite_existing);
        }
    }
    folder.write(fs::relative(module.parent_path() / "res/description/Xtonemix.json", folder.path())
                     .string(),
                 description);
    return module.string();
}

std::string many_parameters(int count) {
    std::string text = "{\"name\": \"Xtonemix\", \"groups\": [{\"id\": \"g\"}], \"parameters\": [";
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ",";
        text += "{\"id\": " + std::to_string(2000 + i) + ", \"name\": \"P" + std::to_string(i) +
                "\", \"type\": \"long\", \"default\": 0, \"group\": \"g\"}";
    }
    return text + "]}";
}

void descriptions(Cases& cases, const tmhost::TemporaryFolder& folder) {
    const std::string original = tmhost::read_file(
        (fs::path(TONEMIX_MODULE_FILE).parent_path() / "res/description/Xtonemix.json").string());
    for (const int count : {1001, 20000}) {
        const std::string module = module_with_description(
            folder, "params-" + std::to_string(count), many_parameters(count));
        cases.command(std::to_string(count) + " parameters", tmhost::run_describe,
                      {"--module", module}, 2, says("more than 1000 parameters"));
    }
    std::string wide = original;
    const std::string limit = "\"max\": 1024";
    if (wide.find(limit) != std::string::npos) {
        wide.replace(wide.find(limit), limit.size(), "\"max\": 1000000000");
        const std::string module = module_with_description(folder, "wide", wide);
        cases.command("samples=100000000 that the description allows", tmhost::run_render,
                      with(kSmall, {"--module", module, "--set", "samples=100000000", "-o",
                                    (folder.path() / "wide.png").string(), "--trust-description"}),
                      2);
    }
    struct Edit {
        const char* what;
        const char* from;
        const char* to;
        const char* said;  // a part of the line it must end in
    };
    const Edit edits[] = {
        {"an unknown key", "\"label\": \"Tonemix\"", "\"label\": \"Tonemix\", \"colour\": 1",
         "unknown key \"colour\""},
        {"an unknown group", "\"group\": \"sampling\"", "\"group\": \"nowhere\"",
         "unknown group \"nowhere\""},
        {"empty choices",
         "\"choices\": [ { \"value\": 0, \"label\": \"scatter\" }, { \"value\": 1, \"label\": "
         "\"along the normal\" } ]",
         "\"choices\": []", "choices"},
        {"two choices of one label", "\"label\": \"along the normal\"", "\"label\": \"scatter\"",
         "the label \"scatter\" appears twice"},
    };
    for (const Edit& edit : edits) {
        std::string text = original;
        const std::size_t at = text.find(edit.from);
        const std::string said = edit.said;
        if (at == std::string::npos) {
            cases.check(std::string("a description with ") + edit.what,
                        [] { return std::string("the description has changed: mend this case"); });
            continue;
        }
        text.replace(at, std::string(edit.from).size(), edit.to);
        const std::string module = module_with_description(folder, "edit", text);
        cases.command(std::string("a description with ") + edit.what, tmhost::run_describe,
                      {"--module", module}, 2, [&](const tmhost::CommandOutput& output) {
                          return output.lines.front().text.find(said) != std::string::npos
                                     ? std::string()
                                     : "not the line expected (" + said + ")";
                      });
        fs::remove_all(folder.path() / "edit");
    }
}

void inputs(Cases& cases, const tmhost::TemporaryFolder& folder) {
    cases.command("sheet with --set and --vary of one parameter", tmhost::run_sheet,
                  with(kSmall, {"--set", "samples=4", "--vary", "samples=1,2", "-o",
                                (folder.path() / "s.png").string()}),
                  2, says("give it one way"));
    const auto scene = [&](const std::string& name, const std::string& objects) {
        return folder
            .write(name,
                   "{\"camera\": {\"position\": [0, 2, 8], \"target\": [0, 0, 0], \"fov\": 40}, "
                   "\"lights\": [{\"name\": \"l\", \"position\": [0, 5, 0]}], \"objects\": [" +
                       objects + "]}")
            .string();
    };
    const auto excerpt_only = [](const tmhost::CommandOutput& output) -> std::string {
        const std::string& line = output.lines.front().text;
        if (line.find("root:") != std::string::npos) return "the file's content quoted";
        return line.find("not a Wavefront OBJ file") != std::string::npos ? "" : "another fault";
    };
    cases.command("a mesh that is /etc/passwd", tmhost::run_render,
                  with({scene("passwd.json",
                              "{\"type\": \"mesh\", \"name\": \"m\", \"colour\": [1, 1, 1], "
                              "\"file\": \"/etc/passwd\"}")},
                       with(kSmall, {"-o", (folder.path() / "p.png").string()})),
                  2, excerpt_only);
    folder.write("cube.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    cases.command("a mesh moved 1e18 away", tmhost::run_render,
                  with({scene("far.json",
                              "{\"type\": \"mesh\", \"name\": \"m\", \"colour\": [1, 1, 1], "
                              "\"file\": \"cube.obj\", "
                              "\"translate\": [1e18, 0, 0]}")},
                       with(kSmall, {"-o", (folder.path() / "f.png").string()})),
                  2, [](const tmhost::CommandOutput& output) -> std::string {
                      return output.lines.front().text.find("objects[0]: the transform leaves") !=
                                     std::string::npos
                                 ? ""
                                 : "the transform is not blamed";
                  });
    const std::string bidi =
        "\xe2\x80\xae"
        "gnp.exe";
    const std::string broken = "name\xff\xfe";
    for (const std::string& name : {bidi, broken}) {
        cases.command("a scene file named with raw bytes", tmhost::run_render,
                      with({(folder.path() / name).string() + ".json"},
                           with(kSmall, {"-o", (folder.path() / "n.png").string()})),
                      2, [&](const tmhost::CommandOutput& output) -> std::string {
                          for (const tmhost::OutputLine& line : output.lines) {
                              if (line.text.find(name) != std::string::npos)
                                  return "the name was echoed raw";
                          }
                          return "";
                      });
    }
}

}  // namespace

StructuralRun run_structural_cases(uint32_t seed, const DamagedModules& damaged, bool verbose) {
    StructuralRun run;
    Cases cases(verbose, run);
    tmhost::TemporaryFolder folder;
    outputs(cases, folder);
    outputs_of_files_read(
        [&](const std::string& name, const std::function<std::string()>& problem) {
            cases.check(name, problem);
        },
        folder.path());
    descriptions(cases, folder);
    inputs(cases, folder);
    for (const InputCase& input : bounded_input_cases(folder, TONEMIX_MODULE_FILE)) {
        cases.command(input.name, input.run, input.arguments, input.status, says(input.said));
    }
    if (!damaged.program.empty()) {
        damaged_module_cases(
            [&](const std::string& name, const std::function<std::string()>& problem) {
                cases.check(name, problem);
            },
            run, folder.path(), seed, damaged, verbose);
    }
    return run;
}

}  // namespace tonemix_fuzz
