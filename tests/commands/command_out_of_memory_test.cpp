// A command that runs out of memory under the limit it was started with (ulimit -v) says so in
// one line, naming the limit, and exits 2 with nothing written: the shortage is the host's, not
// a fault of the scene or the module, and no runtime's words ("std::bad_alloc") reach the user.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "emulation_limits.h"
#include "program_run.h"
#include "temporary_folder.h"

namespace {

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
// The program's lines (standard error with standard output) and its exit code, run under an
// address-space limit of `kibibytes`.
tonemix_test::ProgramRun run_limited(int kibibytes, const std::string& arguments) {
    tonemix_test::ProgramRun run;
    const std::string command = "ulimit -v " + std::to_string(kibibytes) + " && '" +
                                tonemix_test::host_program().string() + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::string line;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        if (c == '\n') {
            run.lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) run.lines.push_back(line);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(OutOfMemory, AnAddressSpaceLimitIsNamedInOneLine) {
    if (const std::string why = tonemix_test::no_address_space_limit(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    tmhost::TemporaryFolder folder;
    const std::string image = (folder.path() / "big.png").string();
    // 4000 x 4000 pixels of four floats: 256 MB for the image alone, past 146 MiB in all.
    const tonemix_test::ProgramRun run =
        run_limited(150000, "render --width 4000 --height 4000 -o '" + image + "'");
    EXPECT_EQ(run.status, 2) << tonemix_test::joined(run);
    ASSERT_EQ(run.lines.size(), 1u) << tonemix_test::joined(run);
    EXPECT_EQ(run.lines[0],
              "tonemix-host: render: out of memory (the address space is limited to 146 MiB: "
              "ulimit -v)");
    EXPECT_FALSE(std::filesystem::exists(image));
}
#else
TEST(OutOfMemory, AnAddressSpaceLimitIsNamedInOneLine) {
    GTEST_SKIP() << "an address-space limit is a Linux limit, and the sanitizers reserve more "
                    "address space than any such limit allows";
}
#endif

}  // namespace
