// render and describe refuse a module whose description disagrees with what its init_defaults
// writes: a value checked against a wrong type or range would reach the node without a word.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

using tonemix_test::CommandRun;
using tonemix_test::joined;

// The built module installed in a folder of its own, with its description edited: `from` (which
// must occur exactly once in the description file) replaced by `to`.
std::string module_with_description(const tmhost::TemporaryFolder& folder, const std::string& from,
                                    const std::string& to) {
    const std::filesystem::path module_folder = folder.path() / "module";
    std::filesystem::create_directories(module_folder);
    std::filesystem::copy_file(TONEMIX_MODULE_FILE, module_folder / "Tonemix.cdl");
    std::string description = tmhost::read_file(
        tonemix_test::source_path("plugins/tonemix/res/description/Xtonemix.json"));
    const std::size_t at = description.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    EXPECT_EQ(description.find(from, at + 1), std::string::npos) << from << " is not unique";
    if (at != std::string::npos) description.replace(at, from.size(), to);
    folder.write("module/res/description/Xtonemix.json", description);
    return (module_folder / "Tonemix.cdl").string();
}

const char* const kSamples = R"("type": "long", "default": 8,)";

// The one error of a refused command, with nothing on stdout.
std::string refusal(const CommandRun& run) {
    EXPECT_EQ(run.status, 2) << joined(run.report.out_lines);
    EXPECT_TRUE(run.report.out_lines.empty()) << joined(run.report.out_lines);
    return run.error();
}

TEST(DescriptionCheck, ADefaultOtherThanTheModulesIsRefusedNamingTheParameter) {
    tmhost::TemporaryFolder folder;
    const std::string out = (folder.path() / "out.pfm").string();
    const std::string suffix = " (--trust-description uses it as it is)";
    for (const auto& [to, what] : std::vector<std::pair<std::string, std::string>>{
             {R"("type": "long", "default": 64,)", "the description gives long 64"},
             {R"("type": "long", "default": 5000,)", "the description gives long 5000"},
             {R"("type": "long", "default": "eight",)",
              "the description's default \"eight\" is not a long"},
             {R"("type": "real", "default": 8,)", "the description gives real 8"}}) {
        const std::string module = module_with_description(folder, kSamples, to);
        const std::string expected =
            "description Xtonemix disagrees with the module: "
            "TONEMIX_SAMPLES (1008): " +
            what + ", the module writes long 8" + suffix;
        EXPECT_EQ(refusal(tonemix_test::render({"--module", module, "-o", out})), expected);
        EXPECT_EQ(refusal(tonemix_test::describe({"--module", module})), expected);
        EXPECT_FALSE(std::filesystem::exists(out)) << "an image was written";
        std::filesystem::remove_all(folder.path() / "module");
    }
}

TEST(DescriptionCheck, AParameterTheDescriptionLacksIsRefused) {
    tmhost::TemporaryFolder folder;
    // Without its entry the seed the module writes is described nowhere.
    const std::string module = module_with_description(folder, R"("id": 2000,)", R"("id": 2900,)");
    EXPECT_EQ(refusal(tonemix_test::describe({"--module", module})),
              "description Xtonemix disagrees with the module: TONEMIX_SEED (2900): the "
              "description gives long 23082003, the module writes nothing "
              "(--trust-description uses it as it is)");
}

TEST(DescriptionCheck, TrustingTheDescriptionUsesItAsItIs) {
    tmhost::TemporaryFolder folder;
    const std::string module =
        module_with_description(folder, kSamples, R"("type": "long", "default": 64,)");
    const CommandRun described =
        tonemix_test::describe({"--module", module, "--trust-description"});
    ASSERT_EQ(described.status, 0) << joined(described.report.errors);
    bool shown = false;
    for (const std::string& line : described.report.out_lines) {
        if (line.rfind("samples ", 0) == 0) shown = line.find("  64  ") != std::string::npos;
    }
    EXPECT_TRUE(shown) << joined(described.report.out_lines);

    const std::string out = (folder.path() / "out.pfm").string();
    const CommandRun rendered = tonemix_test::render(
        {"--module", module, "--trust-description", "--width", "4", "--height", "3", "-o", out});
    EXPECT_EQ(rendered.status, 0) << joined(rendered.report.errors);
    EXPECT_TRUE(std::filesystem::exists(out));
}

}  // namespace

namespace {

// Whatever range a description allows, a render that asks for endless work is refused before it
// starts, naming the limit and the way past it.
TEST(WorkLimits, APointOrAnImageAskingForTooManySamplesIsRefusedUnlessAllowed) {
    tmhost::TemporaryFolder folder;
    const std::string module =
        module_with_description(folder, R"("max": 1024,)", R"("max": 1000000000,)");
    const std::string output = (folder.path() / "out.pfm").string();
    EXPECT_EQ(refusal(tonemix_test::render({"--module", module, "--width", "1", "--height", "1",
                                            "--set", "samples=100000000", "-o", output})),
              "samples=100000000 at 1x1: 100000000 samples a point, more than 65536 "
              "(--allow-long shades it anyway)");
    EXPECT_EQ(refusal(tonemix_test::render(
                  {"--width", "4096", "--height", "4096", "--set", "samples=1024", "-o", output})),
              "samples=1024 at 4096x4096: 17179869184 sample points, more than 4294967296 "
              "(--allow-long shades it anyway)");
    EXPECT_EQ(refusal(tonemix_test::sheet({"--width", "2048", "--height", "1536", "--vary",
                                           "samples=1024,1024", "-o", output})),
              "2 tiles of 2048x1536: 6442450944 sample points, more than 4294967296 "
              "(--allow-long shades it anyway)");
    EXPECT_FALSE(std::filesystem::exists(output));

    const CommandRun allowed =
        tonemix_test::render({"--module", module, "--width", "1", "--height", "1", "--set",
                              "samples=70000", "--allow-long", "-o", output});
    EXPECT_EQ(allowed.status, 0) << joined(allowed.report.errors);
    EXPECT_TRUE(std::filesystem::exists(output));
}

}  // namespace
