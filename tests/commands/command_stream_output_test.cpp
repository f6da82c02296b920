// Outputs that are not regular files: a FIFO receives what a file would, a device stays a device
// and a full one is a lost output (exit 1), a folder is refused before any render, and what the
// program prints to a full or closed standard output is reported, not lost without a word.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/image/whole_file.h"
#include "program_run.h"
#include "render_test_support.h"
#include "special_files.h"

#if defined(__linux__)
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using tonemix_test::CommandRun;
using tonemix_test::joined;

const std::vector<std::string> kSmall = {"--width", "8", "--height", "6"};

std::vector<std::string> small_render_to(const std::string& output) {
    std::vector<std::string> arguments = kSmall;
    arguments.push_back("-o");
    arguments.push_back(output);
    return arguments;
}

TEST(StreamOutput, AFifoReceivesTheBytesOfTheSameRenderToAFile) {
    tmhost::TemporaryFolder folder;
    const std::string file = (folder.path() / "file.png").string();
    ASSERT_EQ(tonemix_test::render(small_render_to(file)).status, 0);
    const std::string fifo = (folder.path() / "view.png").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);

    CommandRun run;
    const std::string received = tonemix_test::read_through_fifo(
        fifo, [&] { run = tonemix_test::render(small_render_to(fifo)); });
    EXPECT_EQ(run.status, 0) << joined(run.report.errors);
    EXPECT_EQ(received, tmhost::read_file(file));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
}

TEST(StreamOutput, AFullDeviceLosesTheImageWithOneLineAndStaysADevice) {
    tmhost::TemporaryFolder folder;
    const std::string device = (folder.path() / "full").string();
    if (!tonemix_test::make_full_device(device)) {
        GTEST_SKIP() << "no device node can be made here: " << std::strerror(errno);
    }
    const std::string link = (folder.path() / "out.png").string();
    fs::create_symlink(device, link);
    const CommandRun run = tonemix_test::render(small_render_to(link));
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.report.errors.size(), 1u) << joined(run.report.errors);
    EXPECT_EQ(run.error(), link + ": cannot write: No space left on device");
    struct stat status {};
    ASSERT_EQ(stat(device.c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
}

TEST(StreamOutput, AFolderBehindALinkIsRefusedBeforeAnyRender) {
    tmhost::TemporaryFolder folder;
    fs::create_directory(folder.path() / "inside");
    const std::string link = (folder.path() / "out.png").string();
    fs::create_symlink(folder.path() / "inside", link);
    for (const CommandRun& run : {tonemix_test::render(small_render_to(link)),
                                  tonemix_test::sheet({"--width", "8", "--height", "6", "--vary",
                                                       "samples=1,2", "-o", link})}) {
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error(), link + ": is a folder, not an image file");
        EXPECT_TRUE(run.report.out_lines.empty()) << run.report.out_lines.front();
    }
    EXPECT_TRUE(fs::is_empty(folder.path() / "inside"));
}

TEST(StreamOutput, AFullOrClosedStandardOutputIsOneLineAndExitOne) {
    if (!fs::exists(tonemix_test::host_program())) GTEST_SKIP() << "tonemix-host not built";
    for (const char* command : {"scene builtin", "describe", "--help"}) {
        const tonemix_test::ProgramRun full =
            tonemix_test::run_program(std::string(command) + " 2>&1 >/dev/full");
        EXPECT_EQ(full.status, 1) << command;
        EXPECT_EQ(joined(full.lines),
                  "tonemix-host: cannot write to standard output: No space left on device\n")
            << command;
        const tonemix_test::ProgramRun closed =
            tonemix_test::run_program(std::string(command) + " 2>&1 >&-");
        EXPECT_EQ(closed.status, 1) << command;
        EXPECT_EQ(joined(closed.lines),
                  "tonemix-host: cannot write to standard output: Bad file descriptor\n")
            << command;
    }
    // An image piped to a full standard output is lost in the same way; the summary, which
    // stdout could not take beside the image, goes to stderr first.
    const tonemix_test::ProgramRun image =
        tonemix_test::run_program("render --width 8 --height 6 -o - --format png 2>&1 >/dev/full");
    EXPECT_EQ(image.status, 1);
    ASSERT_EQ(image.lines.size(), 2u) << joined(image);
    EXPECT_EQ(image.lines[0].rfind("rendered 8x6: ", 0), 0u) << image.lines[0];
    EXPECT_EQ(image.lines[1],
              "tonemix-host: cannot write to standard output: No space left on device");
    // Delivered output is no fault.
    const tonemix_test::ProgramRun fine = tonemix_test::run_program("scene builtin 2>&1");
    EXPECT_EQ(fine.status, 0);
    EXPECT_FALSE(fine.lines.empty());
}

// "render -" reads the scene from standard input, its meshes' relative paths from the working
// folder, and renders what the file renders.
TEST(StreamOutput, AScenePipedInRendersAsItsFile) {
    if (!fs::exists(tonemix_test::host_program())) GTEST_SKIP() << "tonemix-host not built";
    tmhost::TemporaryFolder folder;
    folder.write("meshes/tri.obj", "v -1 0 0\nv 1 0 0\nv 0 1.5 0\nf 1 2 3\n");
    const std::string scene =
        folder
            .write("scene.json",
                   "{\"camera\": {\"position\": [0, 1, 5], \"target\": [0, 0.5, 0], \"fov\": 40},"
                   " \"lights\": [{\"name\": \"l\", \"position\": [0, 4, 3]}], \"objects\": "
                   "[{\"type\": \"mesh\","
                   " \"name\": \"t\", \"colour\": [1, 1, 1], \"file\": \"meshes/tri.obj\"}]}")
            .string();
    const std::string from_file = (folder.path() / "file.pfm").string();
    const std::string from_pipe = (folder.path() / "pipe.pfm").string();
    ASSERT_EQ(tonemix_test::render({scene, "--width", "12", "-o", from_file}).status, 0);
    const tonemix_test::ProgramRun piped = tonemix_test::run_program(
        "render - --width 12 -o pipe.pfm < scene.json 2>&1", folder.path().string());
    EXPECT_EQ(piped.status, 0) << joined(piped);
    EXPECT_EQ(tmhost::read_file(from_pipe), tmhost::read_file(from_file));
    // Elsewhere the mesh is not found, and the message names standard input.
    const tonemix_test::ProgramRun elsewhere =
        tonemix_test::run_program("render - -o '" + from_pipe + "' < '" + scene + "' 2>&1", "/");
    EXPECT_EQ(elsewhere.status, 2);
    EXPECT_EQ(joined(elsewhere),
              "tonemix-host: standard input: objects[0].file: meshes/tri.obj: "
              "cannot read: No such file or directory\n");
}

}  // namespace
#endif
