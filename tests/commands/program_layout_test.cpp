// Where tonemix-host looks for the module when it is named none: Tonemix.cdl beside the program,
// as the build lays them out, or Tonemix/Tonemix.cdl beside it, as a release archive does (the
// folder a user puts among the host's plug-ins). The program is copied into folders of each
// layout and run from there.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_run.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;

#if defined(__linux__)

// The built program copied into `folder`, and the module with its res/ into each of `modules`
// (folders below `folder`, "" for `folder` itself).
void lay_out(const fs::path& folder, const std::vector<std::string>& modules) {
    fs::copy_file(tonemix_test::host_program(), folder / "tonemix-host");
    const fs::path module = tonemix_test::module_file();
    for (const std::string& below : modules) {
        const fs::path at = folder / below;
        fs::create_directories(at);
        fs::copy_file(module, at / "Tonemix.cdl");
        fs::copy(module.parent_path() / "res", at / "res", fs::copy_options::recursive);
    }
}

std::vector<std::string> version_of(const fs::path& folder) {
    const tonemix_test::ProgramRun run =
        tonemix_test::run_program_file(folder / "tonemix-host", "--version 2>&1");
    EXPECT_EQ(run.status, 0);
    return run.lines;
}

TEST(ProgramLayout, TheModuleInAFolderTonemixBesideTheProgramIsFoundWhenNoneIsBesideIt) {
    const tmhost::TemporaryFolder folder;
    lay_out(folder.path(), {"Tonemix"});
    const std::vector<std::string> lines = version_of(folder.path());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "module Tonemix 2.03: " + (folder.path() / "Tonemix/Tonemix.cdl").string());
}

TEST(ProgramLayout, TheModuleBesideTheProgramComesFirst) {
    const tmhost::TemporaryFolder folder;
    lay_out(folder.path(), {"", "Tonemix"});
    const std::vector<std::string> lines = version_of(folder.path());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "module Tonemix 2.03: " + (folder.path() / "Tonemix.cdl").string());
}

TEST(ProgramLayout, WithNeitherTheErrorNamesThePlaceBesideTheProgram) {
    const tmhost::TemporaryFolder folder;
    lay_out(folder.path(), {});
    // A folder named Tonemix with no module in it is no module either.
    fs::create_directories(folder.path() / "Tonemix");
    const std::vector<std::string> lines = version_of(folder.path());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "module: not loaded: module file not found: " +
                            (folder.path() / "Tonemix.cdl").string());
}

#endif

}  // namespace
