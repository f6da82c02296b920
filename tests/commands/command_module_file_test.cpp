// The commands that load a module refuse a module file cut short with the loader's one line and
// exit code 2, and write nothing; a module that crashes as it loads, or later as it shades, is one
// line and exit 2 too.
#include <cstddef>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/loading/crash_report.h"
#include "host/loading/module_file.h"
#include "program_run.h"
#include "render_test_support.h"
#include "temporary_folder.h"

namespace {

TEST(CommandModuleFile, RenderAndDescribeRefuseACutModuleWithTheLoadersLine) {
    const std::string whole = tmhost::file_content(TONEMIX_MODULE_FILE);
    ASSERT_GT(whole.size(), 20000u);
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "out.png").string();
    for (const std::size_t cut : {std::size_t{0}, std::size_t{5000}, whole.size() - 1}) {
        SCOPED_TRACE(cut);
        const std::string path =
            folder.write("cut-" + std::to_string(cut) + ".cdl", whole.substr(0, cut)).string();
        tmhost::ModuleFile module;
        ASSERT_FALSE(module.load(path));
        for (const tonemix_test::CommandRun& run :
             {tonemix_test::render({"--module", path, "-o", output}),
              tonemix_test::describe({"--module", path})}) {
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.report.errors.size(), 1u) << tonemix_test::joined(run.report.errors);
            EXPECT_EQ(run.error(), module.error());
        }
    }
    EXPECT_FALSE(std::filesystem::exists(output));
}

#if defined(__linux__)
TEST(CommandModuleFile, AModuleThatCrashesAsItLoadsIsOneLineAndExitTwo) {
    if (!std::filesystem::exists(tonemix_test::host_program())) {
        GTEST_SKIP() << "tonemix-host not built";
    }
    const std::string module =
        std::string(TONEMIX_FAULTY_MODULES) + "/crashes_while_loading/Tonemix.cdl";
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "out.png").string();
    const std::string segmentation = tmhost::crash_line(module, 11);
    EXPECT_EQ(segmentation,
              "tonemix-host: the module crashed while loading (signal 11, "
              "segmentation fault); `tonemix-host validate " +
                  module + "` shows where");
    for (const std::string& command :
         {"info '" + module + "'", "describe --module '" + module + "'",
          "render --module '" + module + "' --width 4 --height 3 -o '" + output + "'",
          "sheet --module '" + module + "' --vary samples=1,2 -o '" + output + "'"}) {
        const tonemix_test::ProgramRun run = tonemix_test::run_program(command + " 2>&1");
        EXPECT_EQ(run.status, 2) << command;
        EXPECT_EQ(tonemix_test::joined(run), segmentation + "\n") << command;
    }
    EXPECT_FALSE(std::filesystem::exists(output));

    // Found by the load in a child, so this process lives on to report it.
    const tonemix_test::CommandRun in_process =
        tonemix_test::render({"--module", module, "-o", output});
    EXPECT_EQ(in_process.status, 2);
    EXPECT_EQ(in_process.error(), tmhost::crash_text(module, 11));
}

TEST(CommandModuleFile, AModuleThatCrashesLaterIsOneLineThatSaysWhatItWasDoing) {
    if (!std::filesystem::exists(tonemix_test::host_program())) {
        GTEST_SKIP() << "tonemix-host not built";
    }
    const std::string module =
        std::string(TONEMIX_FAULTY_MODULES) + "/crashes_while_shading/Tonemix.cdl";
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "out.png").string();
    // Every render thread crashes at its first point; one line is written all the same.
    const std::string render = "render --module '" + module +
                               "' --width 16 --height 16 --threads 8 --lanes 8 -o '" + output + "'";
    const std::string shading =
        "tonemix-host: the module crashed while shading (signal 11, segmentation fault); "
        "`tonemix-host validate " +
        module + "` shows where";
    for (const std::string& command :
         {render, "sheet --module '" + module + "' --vary samples=1,2 -o '" + output + "'"}) {
        const tonemix_test::ProgramRun run = tonemix_test::run_program(command + " 2>&1");
        EXPECT_EQ(run.status, 2) << command;
        EXPECT_EQ(tonemix_test::joined(run), shading + "\n") << command;
    }
    // info shades a few points outside a render.
    const tonemix_test::ProgramRun info = tonemix_test::run_program("info '" + module + "' 2>&1");
    EXPECT_EQ(info.status, 2);
    EXPECT_EQ(tonemix_test::joined(info), tmhost::crash_line(module, 11, "running") + "\n");
    EXPECT_FALSE(std::filesystem::exists(output));
}
#endif

}  // namespace
