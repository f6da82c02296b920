// The describe command: the parameter sheet the module registered, with a scene's values and the
// module's own answer to whether each parameter is enabled.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "render_test_support.h"
#include "temporary_folder.h"

namespace {

using tonemix_test::CommandRun;
using tonemix_test::describe;
using tonemix_test::joined;

// The row of the named parameter, split at runs of two or more spaces.
std::vector<std::string> row_of(const CommandRun& run, const std::string& name) {
    for (const std::string& line : run.report.out_lines) {
        if (line.rfind(name + " ", 0) != 0) continue;
        std::vector<std::string> cells;
        std::size_t at = 0;
        while (at < line.size()) {
            const std::size_t gap = line.find("  ", at);
            cells.push_back(line.substr(at, gap - at));
            if (gap == std::string::npos) break;
            at = line.find_first_not_of(' ', gap);
        }
        return cells;
    }
    return {};
}

// The lines that follow the named parameter's row up to the next row: its help and its range.
std::vector<std::string> notes_of(const CommandRun& run, const std::string& name) {
    std::vector<std::string> notes;
    bool inside = false;
    for (const std::string& line : run.report.out_lines) {
        if (line.rfind(name + " ", 0) == 0) {
            inside = true;
        } else if (inside && line.rfind("    ", 0) == 0) {
            notes.push_back(line);
        } else if (inside) {
            break;
        }
    }
    return notes;
}

TEST(RenderDescribe, ShowsEveryParameterWithDefaultValueHelpAndRangeIn80Columns) {
    const CommandRun run = describe({});
    ASSERT_EQ(run.status, 0) << joined(run.report.errors) << joined(run.report.warnings);
    EXPECT_TRUE(run.report.warnings.empty()) << joined(run.report.warnings);
    const std::vector<std::string>& lines = run.report.out_lines;
    ASSERT_GE(lines.size(), 13u) << joined(lines);
    EXPECT_EQ(lines[0], "shader 1007539, description Xtonemix, values of the built-in scene");
    EXPECT_EQ(row_of(run, "name"),
              (std::vector<std::string>{"name", "type", "default", "value", "enabled"}));
    // The built-in scene sets samples, distance and offset away from their defaults.
    EXPECT_EQ(row_of(run, "samples"),
              (std::vector<std::string>{"samples", "long", "8", "32*", "yes"}));
    EXPECT_EQ(row_of(run, "distance"),
              (std::vector<std::string>{"distance", "real", "20", "0.8*", "yes"}));
    EXPECT_EQ(row_of(run, "gaussian"),
              (std::vector<std::string>{"gaussian", "bool", "true", "true", "yes"}));
    EXPECT_EQ(row_of(run, "mode"), (std::vector<std::string>{"mode", "long", "0", "0", "yes"}));
    EXPECT_EQ(row_of(run, "lights"),
              (std::vector<std::string>{"lights", "lightlist", "-", "green*", "yes"}));
    EXPECT_EQ(row_of(run, "extra_flag").size(), 5u);
    EXPECT_EQ(lines.back(), "* not the default");
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 80u) << line;
        EXPECT_NE(line.back(), ' ') << line;
    }

    // Help from the description, wrapped at a space, then the range or the choices.
    EXPECT_EQ(notes_of(run, "samples"),
              (std::vector<std::string>{"    Points averaged per shaded point: the lifted point "
                                        "itself and Samples - 1",
                                        "    around it.", "    range: 0 .. 1024"}));
    EXPECT_EQ(notes_of(run, "mode"),
              (std::vector<std::string>{"    choices: 0: scatter, 1: along the normal"}));
    EXPECT_EQ(notes_of(run, "shadows"),
              (std::vector<std::string>{"    Ask every light for its light with shadows."}));
}

TEST(RenderDescribe, JsonHoldsTheSameSheetInTypedValues) {
    const CommandRun run = describe({"--json", "--set", "seed=7"});
    ASSERT_EQ(run.status, 0) << joined(run.report.errors);
    const nlohmann::json document = nlohmann::json::parse(joined(run.report.out_lines));
    EXPECT_EQ(document["shader"], 1007539);
    EXPECT_EQ(document["description"], "Xtonemix");
    EXPECT_EQ(document["values_of"], "the built-in scene");
    const nlohmann::json& parameters = document["parameters"];
    ASSERT_EQ(parameters.size(), 11u);
    const auto find = [&](const std::string& name) {
        for (const nlohmann::json& parameter : parameters) {
            if (parameter["short_name"] == name) return parameter;
        }
        return nlohmann::json();
    };
    const nlohmann::json samples = find("samples");
    EXPECT_EQ(samples["name"], "TONEMIX_SAMPLES");
    EXPECT_EQ(samples["id"], 1008);
    EXPECT_EQ(samples["type"], "long");
    EXPECT_EQ(samples["label"], "Samples");
    EXPECT_EQ(samples["group"], "Sampling");
    EXPECT_EQ(samples["default"], 8);
    EXPECT_EQ(samples["value"], 32);
    EXPECT_EQ(samples["min"], 0);
    EXPECT_EQ(samples["max"], 1024);
    EXPECT_EQ(samples["differs_from_default"], true);
    EXPECT_EQ(samples["enabled"], true);
    // A real as the shortest decimal of its float, not the float's double.
    EXPECT_EQ(find("distance")["value"].dump(), "0.8");
    EXPECT_EQ(find("seed")["value"], 7);
    EXPECT_EQ(find("jitter")["value"], true);
    EXPECT_EQ(find("jitter")["differs_from_default"], false);
    EXPECT_EQ(find("jitter")["enabled"], false);
    EXPECT_EQ(find("lights")["value"], nlohmann::json::array({"green"}));
    EXPECT_TRUE(find("lights")["default"].is_null());
    EXPECT_EQ(find("mode")["choices"], nlohmann::json::parse(R"([{"value": 0, "label": "scatter"},
                                        {"value": 1, "label": "along the normal"}])"));
    EXPECT_EQ(find("samples").count("choices"), 0u);
}

TEST(RenderDescribe, TheModuleEnablesJitterOnlyAlongTheNormal) {
    const CommandRun scatter = describe({});
    ASSERT_EQ(scatter.status, 0) << joined(scatter.report.errors);
    EXPECT_EQ(row_of(scatter, "jitter").back(), "no");

    const CommandRun line = describe({"--set", "mode=along the normal"});
    ASSERT_EQ(line.status, 0) << joined(line.report.errors);
    EXPECT_EQ(row_of(line, "jitter").back(), "yes");
    EXPECT_EQ(row_of(line, "mode")[3], "1*");

    const CommandRun scene = describe({tonemix_test::source_path("scenes/line_sampling.json")});
    ASSERT_EQ(scene.status, 0) << joined(scene.report.errors);
    EXPECT_EQ(row_of(scene, "jitter")[3], "false*");
    EXPECT_EQ(row_of(scene, "jitter").back(), "yes");
    EXPECT_EQ(row_of(scene, "lights")[3], "-");
    EXPECT_EQ(scene.report.out_lines[0].rfind("shader 1007539, description Xtonemix, values of "
                                              "the scene ",
                                              0),
              0u);
}

// A copy of the built module beside its resources, its description's parameters changed as given:
// the path of the copy.
std::string module_with(const tmhost::TemporaryFolder& folder, const nlohmann::json& changes) {
    namespace fs = std::filesystem;
    const fs::path built = fs::path(TONEMIX_MODULE_FILE).parent_path();
    fs::copy(built / "res", folder.path() / "res", fs::copy_options::recursive);
    fs::copy_file(TONEMIX_MODULE_FILE, folder.path() / "Tonemix.cdl");
    const fs::path file = folder.path() / "res" / "description" / "Xtonemix.json";
    nlohmann::json description = nlohmann::json::parse(std::ifstream(file));
    for (nlohmann::json& parameter : description["parameters"]) {
        const auto change = changes.find(parameter["name"].get<std::string>());
        if (change != changes.end()) parameter.update(*change);
    }
    std::ofstream(file) << description.dump(2);
    return (folder.path() / "Tonemix.cdl").string();
}

TEST(RenderDescribe, NumbersBeyondTheParametersTypeShowAsWritten) {
    tmhost::TemporaryFolder folder;
    const nlohmann::json changes = nlohmann::json::parse(R"({
        "TONEMIX_SAMPLES": {"default": 9223372036854775807, "max": 2147483647},
        "TONEMIX_SEED": {"default": 9007199254740993, "min": -2147483648, "max": 2147483647},
        "TONEMIX_DISTANCE": {"default": 1e300, "min": -3.5e38, "max": 3.4028234663852886e38},
        "TONEMIX_OFFSET": {"default": -1e39, "min": -2.5, "max": 16777217}})");
    // Such defaults disagree with the module's: shown only for a description taken as it is.
    const std::string module = module_with(folder, changes);
    EXPECT_EQ(describe({"--module", module}).status, 2);
    const CommandRun run = describe({"--module", module, "--trust-description"});
    ASSERT_EQ(run.status, 0) << joined(run.report.errors) << joined(run.report.warnings);
    // The default from the row, the range from the last note.
    const auto cells = [&](const std::string& name) {
        const std::vector<std::string> row = row_of(run, name);
        const std::vector<std::string> notes = notes_of(run, name);
        if (row.size() != 5u || notes.empty()) return row;
        return std::vector<std::string>{row[2], notes.back()};
    };
    EXPECT_EQ(cells("samples"),
              (std::vector<std::string>{"9223372036854775807", "    range: 0 .. 2147483647"}));
    EXPECT_EQ(cells("seed"), (std::vector<std::string>{"9007199254740993",
                                                       "    range: -2147483648 .. 2147483647"}));
    EXPECT_EQ(cells("distance"),
              (std::vector<std::string>{"1e+300", "    range: -3.5e+38 .. 3.4028235e+38"}));
    EXPECT_EQ(cells("offset"), (std::vector<std::string>{"-1e+39", "    range: -2.5 .. 16777216"}));

    // A long's range past 32 bits would be read as other numbers: refused even when trusted.
    tmhost::TemporaryFolder wide;
    const std::string wide_module = module_with(
        wide, nlohmann::json::parse(R"({"TONEMIX_SAMPLES": {"max": 9223372036854775807}})"));
    const CommandRun refused = describe({"--module", wide_module, "--trust-description"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(
        refused.error(),
        "description Xtonemix: parameters[0].max: 9223372036854775807 does not fit 32 bits (a "
        "long holds -2147483648 to 2147483647)");
}

TEST(RenderDescribe, BadInputIsAOneLineError) {
    const CommandRun unknown = describe({"--set", "jiter=true"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.report.errors.size(), 1u);
    EXPECT_EQ(unknown.error().rfind("--set jiter=true: unknown parameter", 0), 0u)
        << unknown.error();
    EXPECT_TRUE(unknown.report.out_lines.empty());

    const CommandRun missing = describe({"--module", "/nonexistent/Tonemix.cdl"});
    EXPECT_EQ(missing.status, 2);
#if defined(_WIN32)
    // Windows names the file in full, from the drive the path is taken on.
    EXPECT_EQ(missing.error().rfind("module file not found: ", 0), 0u) << missing.error();
    EXPECT_NE(missing.error().find("\\nonexistent\\Tonemix.cdl"), std::string::npos)
        << missing.error();
#else
    EXPECT_EQ(missing.error(), "module file not found: /nonexistent/Tonemix.cdl");
#endif
}

}  // namespace
