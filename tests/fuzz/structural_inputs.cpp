#include "fuzz/structural_inputs.h"

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include "host/image/whole_file.h"
#include "work_bound_scenes.h"

namespace tonemix_fuzz {

namespace {

namespace fs = std::filesystem;
using tonemix_test::crowded_scene;
using tonemix_test::scene_of_mesh;

const std::vector<std::string> kSmall = {"--width", "8", "--height", "6", "--threads", "2"};

std::vector<std::string> small(std::vector<std::string> first, const std::string& output) {
    first.insert(first.end(), kSmall.begin(), kSmall.end());
    first.insert(first.end(), {"-o", output});
    return first;
}

// The built module in a folder of its own, its description replaced by `description`.
std::string module_with(const tmhost::TemporaryFolder& folder, const std::string& name,
                        const std::string& module, const std::string& description) {
    const fs::path copy = folder.path() / ("inputs-" + name) / "Tonemix.cdl";
    fs::create_directories(copy.parent_path() / "res" / "description");
    fs::copy_file(module, copy);
    folder.write(
        fs::relative(copy.parent_path() / "res/description/Xtonemix.json", folder.path()).string(),
        description);
    return copy.string();
}

struct Edit {
    const char* what;
    const char* from;  // text of the shipped description, replaced by `to`
    const char* to;
    const char* said;
};

// Each is a fault of its own kind in the shipped description: the line must name that kind.
const Edit kDescriptionEdits[] = {
    {"a parameter without its type", R"("label": "Samples", "type": "long", )",
     R"("label": "Samples", )", "parameters[0].type: missing"},
    {"a light list without its custom type", R"("custom_type": 1009290, )", "",
     ".custom_type: missing"},
    {"two parameters of one id", R"("id": 1009, "name": "TONEMIX_DISTANCE")",
     R"("id": 1008, "name": "TONEMIX_DISTANCE")",
     "id 1008 of TONEMIX_DISTANCE is already the id of TONEMIX_SAMPLES"},
    {"min above max", R"("min": 0, "max": 1024)", R"("min": 1024, "max": 0)",
     "min 1024 is above max 0"},
    {"a range past 32 bits", R"("min": 0, "max": 1024)", R"("min": 0, "max": 4294967296)",
     ".max: 4294967296 does not fit 32 bits"},
    {"a key twice", R"("name": "TONEMIX_SAMPLES", )",
     R"("name": "TONEMIX_SAMPLES", "name": "TONEMIX_SAMPLES", )", "key \"name\" appears twice"},
    {"two choices of one value", R"({ "value": 0, "label": "include only listed lights" })",
     R"({ "value": 1, "label": "include only listed lights" })",
     ".value: 1 is the value of choices[0] too"},
    {"a name that is the prefix alone", R"("name": "TONEMIX_EXTRA_FLAG")", R"("name": "TONEMIX_")",
     "is the prefix alone"},
    {"a name --set cannot give", R"("name": "TONEMIX_EXTRA_FLAG")", R"("name": "TONEMIX_A=B,C")",
     "holds \"=\""},
};

}  // namespace

std::vector<InputCase> bounded_input_cases(const tmhost::TemporaryFolder& folder,
                                           const std::string& module) {
    std::vector<InputCase> cases;
    const std::string image = (folder.path() / "inputs.png").string();

    // FIFOs nobody ever writes: a read that waited would never come back.
    const std::string fifo_scene = (folder.path() / "fifo-scene.json").string();
    const std::string fifo_mesh = (folder.path() / "fifo-mesh.obj").string();
    mkfifo(fifo_scene.c_str(), 0600);
    mkfifo(fifo_mesh.c_str(), 0600);
    const std::string mesh_scene =
        folder.write("fifo-mesh.json", scene_of_mesh(fifo_mesh)).string();
    cases.push_back({"a FIFO as the scene", tmhost::run_render, small({fifo_scene}, image), 2,
                     "cannot read: a FIFO, not a file"});
    cases.push_back({"a FIFO as a scene's mesh", tmhost::run_render, small({mesh_scene}, image), 2,
                     "cannot read: a FIFO, not a file"});
    cases.push_back({"a FIFO as the model", tmhost::run_render, small({fifo_mesh}, image), 2,
                     "cannot read: a FIFO, not a file"});
    cases.push_back({"a device as the scene", tmhost::run_render, small({"/dev/zero"}, image), 2,
                     "cannot read: a character device, not a file"});

    // Too many lights are refused before they are read (a hundred thousand here: the text of a
    // million, read as JSON, is past the memory limit the fuzz runs the sanitizer build under; the
    // commands' tests take the million); a few thousand lights or planes, by the light tests they
    // ask for.
    const std::string crowded =
        folder.write("crowded-lights.json", crowded_scene(100000, 1)).string();
    cases.push_back({"a hundred thousand lights",
                     tmhost::run_render,
                     {crowded, "-o", image},
                     2,
                     "lights: more than 65536 lights (100000)"});
    const std::string lights = folder.write("many-lights.json", crowded_scene(5000, 1)).string();
    cases.push_back({"5000 lights",
                     tmhost::run_render,
                     {lights, "--width", "1280", "--height", "960", "-o", image},
                     2,
                     "light tests, more than 34359738368"});
    const std::string planes = folder.write("many-planes.json", crowded_scene(1, 20000)).string();
    cases.push_back({"20,000 planes",
                     tmhost::run_render,
                     {planes, "--width", "640", "--height", "480", "-o", image},
                     2,
                     "light tests, more than 34359738368"});

    const std::string original = tmhost::read_file(
        (fs::path(module).parent_path() / "res/description/Xtonemix.json").string());
    for (const Edit& edit : kDescriptionEdits) {
        std::string text = original;
        const std::size_t at = text.find(edit.from);
        if (at == std::string::npos) {
            cases.push_back({std::string("a description with ") + edit.what +
                                 " (the description has changed: mend this case)",
                             tmhost::run_describe,
                             {"--module", module},
                             2,
                             "(never said)"});
            continue;
        }
        text.replace(at, std::string(edit.from).size(), edit.to);
        cases.push_back(
            {std::string("a description with ") + edit.what,
             tmhost::run_describe,
             {"--module", module_with(folder, std::to_string(cases.size()), module, text)},
             2,
             edit.said});
    }
    nlohmann::ordered_json without_groups = nlohmann::ordered_json::parse(original);
    without_groups.erase("groups");
    cases.push_back({"a description without groups",
                     tmhost::run_describe,
                     {"--module", module_with(folder, "groups", module, without_groups.dump(1))},
                     2,
                     "unknown group \"sampling\" (the description has no \"groups\")"});
    const std::string array_module = module_with(folder, "array", module, "[" + original + "]");
    cases.push_back({"a description that is an array",
                     tmhost::run_describe,
                     {"--module", array_module},
                     2,
                     "top level: expected an object, not an array"});

    // A resource folder that is a FIFO, and one that is a link to itself.
    const fs::path fifo_res = folder.path() / "inputs-fifo-res";
    fs::create_directories(fifo_res);
    fs::copy_file(module, fifo_res / "Tonemix.cdl");
    mkfifo((fifo_res / "res").c_str(), 0600);
    cases.push_back({"a resource folder that is a FIFO",
                     tmhost::run_describe,
                     {"--module", (fifo_res / "Tonemix.cdl").string()},
                     2,
                     "resource folder 'res': a FIFO, not a folder"});
    const fs::path loop_res = folder.path() / "inputs-loop-res";
    fs::create_directories(loop_res);
    fs::copy_file(module, loop_res / "Tonemix.cdl");
    fs::create_directory_symlink(loop_res / "res", loop_res / "res");
    cases.push_back({"a resource folder that is a link to itself",
                     tmhost::run_describe,
                     {"--module", (loop_res / "Tonemix.cdl").string()},
                     2,
                     "resource folder 'res': Too many levels of symbolic links"});
    return cases;
}

}  // namespace tonemix_fuzz
