// Under a processor emulator the programs leave out what cannot run there, and say so: what they
// leave out must show in their lines.
#include <string>

#include <gtest/gtest.h>

#include "host/core/emulation.h"
#include "render_test_support.h"

namespace {

TEST(Emulation, TheThreadsGroupNamesTheThreadCountsItLeftOut) {
    const tonemix_test::CommandRun run = tonemix_test::run_command(
        tmhost::run_validate, {"--only", "threads", "--level", "1", "--in-process"});
    ASSERT_EQ(run.status, 0) << run.error();
    ASSERT_EQ(run.report.out_lines.size(), 3u);
    const std::string& line = run.report.out_lines[1];
    // Five settings, each at 2, 4, 8 ... threads: up to 64, but for the sanitizer build under
    // emulation, which stops at 8 and says so.
    EXPECT_EQ(line.rfind("threads: pass (", 0), 0u) << line;
    bool limited = false;
#if defined(__SANITIZE_ADDRESS__)
    limited = tmhost::running_under_emulation();
#endif
    if (limited) {
        EXPECT_NE(line.find(" calls, 15 thread counts; at most 8 threads under emulation)"),
                  std::string::npos)
            << line;
    } else {
        EXPECT_NE(line.find(" calls, 30 thread counts)"), std::string::npos) << line;
    }
}

}  // namespace
