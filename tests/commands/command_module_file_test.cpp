// The commands that load a module refuse a module file cut short with the loader's one line and
// exit code 2, and write nothing.
#include <cstddef>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/loading/module_file.h"
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

}  // namespace
