// tonemix_fuzz: thousands of hostile scenes, model files, descriptions and command lines made from
// the project's own good files with a fixed seed, each run through the render or describe command
// in this process; with --structural, the fixed cases of structural_cases.h instead. Every case
// must end with exit 0, 1 or 2; an exit of 2 must say why in exactly one line and write nothing on
// stdout. Built with the sanitizers, a crash, a sanitizer report or a memory blow-up
// (ASAN_OPTIONS=hard_rss_limit_mb) ends the run: the case that caused it is the last one printed
// with --verbose, and --from N --cases 1 makes it again.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/mutations.h"
#include "fuzz/structural_cases.h"
#include "fuzz/verdict.h"
#include "host/commands/command.h"
#include "host/image/whole_file.h"
#include "model_writers.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using tonemix_fuzz::Mutator;
using tonemix_fuzz::verdict;

const char* const kSetNames[] = {"samples", "distance", "offset", "gaussian",  "mode",
                                 "jitter",  "shadows",  "seed",   "list_mode", "extra_flag",
                                 "lights",  "SAMPLES",  "no_such"};

struct Case {
    std::string kind;
    bool render = true;
    bool sheet = false;  // a render case run as a contact sheet
    std::vector<std::string> arguments;
};

struct Inputs {
    std::vector<std::string> scenes;
    std::string description;
    // One small mesh in every model format, by its extension: damaged, each is a model file the
    // host stages.
    std::vector<std::pair<std::string, std::string>> models;
};

std::vector<std::pair<std::string, std::string>> model_inputs() {
    using tonemix_test::PlyFormat;
    tonemix_test::TestMesh mesh;
    mesh.positions = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                      {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    mesh.triangles = {{0, 3, 2}, {0, 2, 1}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                      {3, 7, 6}, {3, 6, 2}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
    tonemix_test::TestMesh coloured = mesh;
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        coloured.colours.push_back({0.25f * static_cast<float>(i % 4), 0.5f, 1.0f});
    }
    return {{".obj", tonemix_test::obj_text(coloured)},
            {".ply", tonemix_test::ply_bytes(coloured, PlyFormat::ascii)},
            {".ply", tonemix_test::ply_bytes(coloured, PlyFormat::little_endian)},
            {".ply", tonemix_test::ply_bytes(mesh, PlyFormat::big_endian)},
            {".stl", tonemix_test::stl_text(mesh)},
            {".stl", tonemix_test::stl_bytes(mesh)},
            {".gltf", tonemix_test::gltf_embedded(mesh)},
            {".glb", tonemix_test::glb_bytes(mesh)}};
}

std::vector<std::string> small_render(const std::string& output) {
    return {"--width", "8", "--height", "6", "--threads", "1", "--lanes", "2", "-o", output};
}

// The options a user might give, each with a hostile value now and then.
std::vector<std::string> random_options(Mutator& mutator, const std::string& output) {
    std::vector<std::string> out;
    const uint32_t count = mutator.below(5);
    for (uint32_t i = 0; i < count; ++i) {
        switch (mutator.below(9)) {
        case 0:
            out.push_back("--set");
            out.push_back(
                std::string(kSetNames[mutator.below(13)]) + "=" +
                (mutator.below(2) ? mutator.hostile_value() : std::to_string(mutator.below(40))));
            break;
        case 1:
            out.push_back(mutator.below(2) ? "--width" : "--height");
            out.push_back(mutator.below(3) ? std::to_string(mutator.below(12))
                                           : mutator.hostile_value());
            break;
        case 2:
            out.push_back("--lanes");
            out.push_back(mutator.below(2) ? std::to_string(mutator.below(70))
                                           : mutator.hostile_value());
            break;
        case 3:
            out.push_back("--threads");
            out.push_back(std::to_string(mutator.below(3)));
            break;
        case 4:
            out.push_back("--shared-node");
            break;
        case 5:
            out.push_back("--module");
            out.push_back(mutator.below(2) ? output : "/nonexistent/Tonemix.cdl");
            break;
        case 6:
            out.push_back("-o");
            out.push_back(mutator.below(2) ? output + ".txt"
                                           : fs::path(output).parent_path().string());
            break;
        case 7:
            out.push_back(mutator.below(2) ? "--bogus" : "--set");
            break;
        default:
            out.push_back(mutator.hostile_value());
            break;
        }
    }
    return out;
}

// "--vary NAME=V1,V2,...": a few values, some of them hostile, some empty.
std::vector<std::string> random_vary(Mutator& mutator) {
    std::string list = std::string(kSetNames[mutator.below(13)]) + "=";
    const uint32_t count = mutator.below(5);
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) list += ",";
        if (mutator.below(6) == 0) continue;
        list += mutator.below(3) ? std::to_string(mutator.below(40)) : mutator.hostile_value();
    }
    return {"--vary", list};
}

Case make_case(Mutator& mutator, const Inputs& inputs, const tmhost::TemporaryFolder& folder,
               const std::string& module) {
    const std::string output = (folder.path() / "out.pfm").string();
    const std::string& base = inputs.scenes[mutator.below(inputs.scenes.size())];
    const std::string& other = inputs.scenes[mutator.below(inputs.scenes.size())];
    Case made;
    const uint32_t kind = mutator.below(24);
    if (kind >= 20) {
        const auto& model = inputs.models[mutator.below(inputs.models.size())];
        const auto& spliced = inputs.models[mutator.below(inputs.models.size())];
        made.kind = "model " + model.first;
        const std::string path =
            folder.write("case" + model.first, mutator.mutate(model.second, spliced.second))
                .string();
        made.render = mutator.below(4) != 0;
        made.arguments = {path};
        if (made.render) {
            for (const std::string& a : small_render(output)) made.arguments.push_back(a);
            if (mutator.below(4) == 0) made.arguments.insert(made.arguments.end(), {"--up", "z"});
        }
    } else if (kind < 11 || kind == 19) {
        std::string scene;
        if (kind == 19) {
            static const int kLevels[] = {64, 65, 1000, 10000, 100000};
            const char* const keys[] = {"", "shader", "camera", "objects", "lights"};
            scene = mutator.nest(base, keys[mutator.below(5)], kLevels[mutator.below(5)]);
            made.kind = "deep scene";
        } else {
            scene = mutator.mutate(base, other);
            made.kind = "scene";
        }
        const std::string path = folder.write("case.json", scene).string();
        made.render = mutator.below(4) != 0;
        made.arguments = {path};
        if (made.render) {
            for (const std::string& a : small_render(output)) made.arguments.push_back(a);
        }
    } else if (kind < 15) {
        made.kind = "command line";
        made.render = mutator.below(4) != 0;
        if (made.render) made.arguments = small_render(output);
        made.sheet = made.render && mutator.below(3) == 0;
        for (uint32_t varies = made.sheet ? 1 + mutator.below(3) : 0; varies > 0; --varies) {
            for (const std::string& a : random_vary(mutator)) made.arguments.push_back(a);
        }
        for (const std::string& a : random_options(mutator, output)) made.arguments.push_back(a);
    } else {
        made.kind = kind == 18 ? "deep description" : "description";
        const std::string description =
            kind == 18 ? mutator.nest(inputs.description, mutator.below(2) ? "parameters" : "",
                                      mutator.below(2) ? 1000 : 100000)
                       : mutator.mutate(inputs.description, base);
        folder.write("module/res/description/Xtonemix.json", description);
        made.render = mutator.below(2) != 0;
        made.arguments = {"--module", module};
        if (made.render) {
            for (const std::string& a : small_render(output)) made.arguments.push_back(a);
        }
    }
    return made;
}

std::string shown(const Case& made) {
    std::string text = made.sheet ? "sheet" : made.render ? "render" : "describe";
    for (const std::string& a : made.arguments) text += " '" + a + "'";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    long cases = 3000;
    long from = 0;
    uint32_t seed = 20261208;
    bool verbose = false;
    bool skip_deep = false;  // to look past a deep-nesting fault at the others
    bool structural = false;
    tonemix_fuzz::DamagedModules damaged;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--cases" && i + 1 < argc)
            cases = std::atol(argv[++i]);
        else if (a == "--from" && i + 1 < argc)
            from = std::atol(argv[++i]);
        else if (a == "--seed" && i + 1 < argc)
            seed = static_cast<uint32_t>(std::atol(argv[++i]));
        else if (a == "--verbose")
            verbose = true;
        else if (a == "--skip-deep")
            skip_deep = true;
        else if (a == "--structural")
            structural = true;
        else if (a == "--damages" && i + 1 < argc)
            damaged.count = std::atoi(argv[++i]);
        else if (a == "--damaged-program" && i + 1 < argc)
            damaged.program = argv[++i];
        else if (a == "--damaged-module" && i + 1 < argc)
            damaged.module = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: tonemix_fuzz [--cases N] [--from N] [--seed S] [--verbose] "
                         "[--skip-deep] [--structural [--damaged-program P --damaged-module M "
                         "[--damages N]]]\n");
            return 2;
        }
    }

    if (structural) {
        if (damaged.program.empty() != damaged.module.empty()) {
            std::fprintf(stderr,
                         "tonemix_fuzz: --damaged-program and --damaged-module go "
                         "together\n");
            return 2;
        }
        if (damaged.program.empty()) {
            std::printf("tonemix_fuzz: structural cases, seed %u, no damaged modules\n", seed);
        } else {
            std::printf(
                "tonemix_fuzz: structural cases, seed %u, %d damaged copies a section of "
                "%s\n",
                seed, damaged.count, damaged.module.c_str());
        }
        std::fflush(stdout);
        const tonemix_fuzz::StructuralRun run =
            tonemix_fuzz::run_structural_cases(seed, damaged, verbose);
        std::printf("tonemix_fuzz: %ld structural cases, %ld hung, %ld failed\n", run.cases,
                    run.hung, run.failures);
        return run.failures == 0 ? 0 : 1;
    }

    Inputs inputs;
    for (const fs::directory_entry& entry : fs::directory_iterator(TONEMIX_SOURCE_DIR "/scenes")) {
        if (entry.path().extension() == ".json") {
            inputs.scenes.push_back(tmhost::read_file(entry.path().string()));
        }
    }
    inputs.description =
        tmhost::read_file(TONEMIX_SOURCE_DIR "/plugins/tonemix/res/description/Xtonemix.json");
    inputs.models = model_inputs();
    if (inputs.scenes.empty()) {
        std::fprintf(stderr, "tonemix_fuzz: no scenes in %s/scenes\n", TONEMIX_SOURCE_DIR);
        return 2;
    }

    tmhost::TemporaryFolder folder;
    // The mesh scenes name OBJ files beside them. A small cube stands in for each, under its name,
    // so that a hostile mesh scene reaches a mesh and its transform without the cost of loading
    // tens of thousands of triangles in every case.
    for (const fs::directory_entry& entry :
         fs::directory_iterator(TONEMIX_SOURCE_DIR "/scenes/meshes")) {
        folder.write("meshes/" + entry.path().filename().string(),
                     "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\n"
                     "v 1 1 1\nv -1 1 1\nvn 0 0 -1\nvn 0 0 1\nf 1//1 4//1 3//1 2//1\n"
                     "f 5//2 6//2 7//2 8//2\nf 1 2 6 5\nf 4 8 7 3\nf 1 5 8 4\nf 2 3 7 6\n");
    }
    const fs::path module = folder.path() / "module" / "Tonemix.cdl";
    fs::create_directories(module.parent_path());
    fs::copy_file(TONEMIX_MODULE_FILE, module);
    tmhost::CommandSettings settings;
    settings.default_module = TONEMIX_MODULE_FILE;

    std::printf("tonemix_fuzz: seed %u, cases %ld from %ld\n", seed, cases, from);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    Mutator mutator(seed);
    long failures = 0;
    long by_status[3] = {0, 0, 0};
    for (long index = 0; index < from + cases; ++index) {
        // Every case before `from` is made too, so that case N is the same however the run starts.
        folder.write("module/res/description/Xtonemix.json", inputs.description);
        const Case made = make_case(mutator, inputs, folder, module.string());
        if (index < from) continue;
        if (skip_deep && made.kind.rfind("deep", 0) == 0) continue;
        if (verbose) {
            std::printf("case %ld (%s): %s\n", index, made.kind.c_str(), shown(made).c_str());
            std::fflush(stdout);
        }
        const auto case_start = std::chrono::steady_clock::now();
        const tmhost::CommandOutput output =
            made.sheet    ? tmhost::run_sheet(made.arguments, settings)
            : made.render ? tmhost::run_render(made.arguments, settings)
                          : tmhost::run_describe(made.arguments, settings);
        const double case_seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - case_start).count();
        if (verbose && case_seconds > 0.1) std::printf("  took %.2f s\n", case_seconds);
        const std::string wrong = verdict(output);
        if (output.status >= 0 && output.status <= 2) ++by_status[output.status];
        if (wrong.empty()) continue;
        ++failures;
        std::printf("FAIL case %ld (%s): %s\n  %s\n", index, made.kind.c_str(), wrong.c_str(),
                    shown(made).c_str());
        for (const tmhost::OutputLine& line : output.lines)
            std::printf("  | %s\n", line.text.c_str());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "tonemix_fuzz: %ld cases in %.1f s: exit 0 %ld, exit 1 %ld, exit 2 %ld; %ld failed\n",
        cases, seconds, by_status[0], by_status[1], by_status[2], failures);
    return failures == 0 ? 0 : 1;
}
