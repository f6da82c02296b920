// The describe command: the parameter sheet the module registered, with a scene's values and the
// module's own answer to whether each parameter is enabled.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

TEST(RenderDescribe, ShowsEveryParameterWithDefaultValueRangeAndGroup) {
    const CommandRun run = describe({});
    ASSERT_EQ(run.status, 0) << joined(run.report.errors) << joined(run.report.warnings);
    EXPECT_TRUE(run.report.warnings.empty()) << joined(run.report.warnings);
    // A title, the header and the eleven parameters.
    ASSERT_EQ(run.report.out_lines.size(), 13u) << joined(run.report.out_lines);
    EXPECT_EQ(run.report.out_lines[0],
              "shader 1007539, description Xtonemix, values of the built-in scene");
    EXPECT_EQ(row_of(run, "name"),
              (std::vector<std::string>{"name", "id", "type", "default", "value", "range / choices",
                                        "label", "group", "enabled"}));
    EXPECT_EQ(row_of(run, "TONEMIX_SAMPLES"),
              (std::vector<std::string>{"TONEMIX_SAMPLES", "1008", "long", "8", "32", "0 .. 1024",
                                        "Samples", "Sampling", "yes"}));
    EXPECT_EQ(row_of(run, "TONEMIX_MODE"),
              (std::vector<std::string>{"TONEMIX_MODE", "1012", "long", "0", "0",
                                        "0: scatter, 1: along the normal", "Sampling", "Sampling",
                                        "yes"}));
    EXPECT_EQ(row_of(run, "TONEMIX_LIGHTS"),
              (std::vector<std::string>{"TONEMIX_LIGHTS", "2002", "lightlist", "-", "green", "-",
                                        "Lights", "Lights", "yes"}));
    EXPECT_EQ(row_of(run, "TONEMIX_EXTRA_FLAG").size(), 9u);
}

TEST(RenderDescribe, TheModuleEnablesJitterOnlyAlongTheNormal) {
    const CommandRun scatter = describe({});
    ASSERT_EQ(scatter.status, 0) << joined(scatter.report.errors);
    EXPECT_EQ(row_of(scatter, "TONEMIX_JITTER").back(), "no");

    const CommandRun line = describe({"--set", "mode=along the normal"});
    ASSERT_EQ(line.status, 0) << joined(line.report.errors);
    EXPECT_EQ(row_of(line, "TONEMIX_JITTER").back(), "yes");
    EXPECT_EQ(row_of(line, "TONEMIX_MODE")[4], "1");

    const CommandRun scene = describe({tonemix_test::source_path("scenes/line_sampling.json")});
    ASSERT_EQ(scene.status, 0) << joined(scene.report.errors);
    EXPECT_EQ(row_of(scene, "TONEMIX_JITTER")[4], "false");
    EXPECT_EQ(row_of(scene, "TONEMIX_JITTER").back(), "yes");
    EXPECT_EQ(row_of(scene, "TONEMIX_LIGHTS")[4], "-");
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
        "TONEMIX_SAMPLES": {"default": 9223372036854775807, "max": 9223372036854775807},
        "TONEMIX_SEED": {"default": 9007199254740993, "min": -1e300, "max": 1e15},
        "TONEMIX_DISTANCE": {"default": 1e300, "min": -3.5e38, "max": 3.4028234663852886e38},
        "TONEMIX_OFFSET": {"default": -1e39, "min": -2.5, "max": 16777217}})");
    // Such defaults disagree with the module's: shown only for a description taken as it is.
    const std::string module = module_with(folder, changes);
    EXPECT_EQ(describe({"--module", module}).status, 2);
    const CommandRun run = describe({"--module", module, "--trust-description"});
    ASSERT_EQ(run.status, 0) << joined(run.report.errors) << joined(run.report.warnings);
    const auto cells = [&](const std::string& name) {
        const std::vector<std::string> row = row_of(run, name);
        return row.size() == 9u ? std::vector<std::string>{row[3], row[5]} : row;
    };
    EXPECT_EQ(cells("TONEMIX_SAMPLES"),
              (std::vector<std::string>{"9223372036854775807", "0 .. 9223372036854775807"}));
    EXPECT_EQ(cells("TONEMIX_SEED"),
              (std::vector<std::string>{"9007199254740993", "-1e+300 .. 1000000000000000"}));
    EXPECT_EQ(cells("TONEMIX_DISTANCE"),
              (std::vector<std::string>{"1e+300", "-3.5e+38 .. 3.4028235e+38"}));
    EXPECT_EQ(cells("TONEMIX_OFFSET"), (std::vector<std::string>{"-1e+39", "-2.5 .. 16777216"}));
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
    EXPECT_EQ(missing.error(), "module file not found: /nonexistent/Tonemix.cdl");
}

}  // namespace
