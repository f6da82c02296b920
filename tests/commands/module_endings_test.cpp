// Every way a module ends the program, other than a crash, is one line and exit 2 from the
// commands that load it: an exit of any code at load, start, shading or unload (an _exit in a
// destructor included), an abort, an exception no one catches on a render thread, a stack
// overflow. A module's own crash handler does not hide its crash, nor does a mask the parent
// blocked the crash signal with. What a module prints on descriptor 1 stays out of the image on
// standard output, and a small stack limit is raised or refused in one line.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/loading/crash_report.h"
#include "image_decoders.h"
#include "program_run.h"
#include "render_test_support.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <pthread.h>
#include <sys/wait.h>
#endif

namespace {

#if defined(__linux__)

std::string faulty_module(const std::string& fault) {
    return std::string(TONEMIX_FAULTY_MODULES) + "/" + fault + "/Tonemix.cdl";
}

struct Ending {
    const char* fault;
    const char* render_line;  // after "tonemix-host: "
    const char* info_line;    // info shades its few points outside a render: "while running"
};

const Ending kEndings[] = {
    {"exits_while_shading", "the module ended the process (exit 0) while shading",
     "the module ended the process (exit 0) while running"},
    // _exit runs no hook: the program's own _exit meets the module's call.
    {"exits_at_once_while_shading", "the module ended the process (exit 0) while shading",
     "the module ended the process (exit 0) while running"},
    // The first render thread exits while the others shade on with a global whose destructor
    // takes it away: the exit is told before the module's destructors run.
    {"exits_while_others_shade", "the module ended the process (exit 0) while shading",
     "the module ended the process (exit 0) while running"},
    {"aborts_while_starting", "the module aborted while starting",
     "the module aborted while starting"},
    {"throws_while_shading", "the module threw an exception no one caught while shading",
     "the module threw an exception no one caught while running"},
    {"exits_while_loading", "the module ended the process (exit 0) while loading",
     "the module ended the process (exit 0) while loading"},
    {"exits_while_unloading", "the module ended the process (exit 5) while unloading",
     "the module ended the process (exit 5) while unloading"},
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer build's threads run on stacks of its own making, and it reports an overflow
    // itself.
    {"overflows_stack_while_shading", "the module overflowed its stack while shading",
     "the module overflowed its stack while running"},
#endif
};

TEST(ModuleEndings, EachWayAModuleEndsTheProgramIsOneLineAndExitTwo) {
    if (!std::filesystem::exists(tonemix_test::host_program())) {
        GTEST_SKIP() << "tonemix-host not built";
    }
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "out.png").string();
    for (const Ending& ending : kEndings) {
        SCOPED_TRACE(ending.fault);
        const std::string module = faulty_module(ending.fault);
        // Every render thread meets the fault at its first point, at once: still one line, and
        // never the module's own exit code. Repeated, as threads that end together race.
        for (int run = 0; run < 3; ++run) {
            const tonemix_test::ProgramRun render = tonemix_test::run_program(
                "render --module '" + module +
                "' --width 16 --height 16 --threads 8 --lanes 8 -o '" + output + "' 2>&1");
            EXPECT_EQ(render.status, 2);
            EXPECT_EQ(tonemix_test::joined(render),
                      std::string("tonemix-host: ") + ending.render_line + "\n");
        }
        const tonemix_test::ProgramRun info =
            tonemix_test::run_program("info '" + module + "' 2>&1 >/dev/null");
        EXPECT_EQ(info.status, 2);
        EXPECT_EQ(tonemix_test::joined(info),
                  std::string("tonemix-host: ") + ending.info_line + "\n");
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

// The module sets a SIGSEGV handler of its own as it starts (one that exits 77), or ignores the
// signal, then crashes while shading: the host has put its own back, and the crash is reported.
TEST(ModuleEndings, AModulesOwnCrashHandlerDoesNotHideItsCrash) {
    if (!std::filesystem::exists(tonemix_test::host_program())) {
        GTEST_SKIP() << "tonemix-host not built";
    }
    const std::string module = faulty_module("own_crash_handler");
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "out.png").string();
    for (const std::string& path : {module, faulty_module("ignores_crash_signal")}) {
        const tonemix_test::ProgramRun render = tonemix_test::run_program(
            "render --module '" + path + "' --width 8 --height 8 -o '" + output + "' 2>&1");
        EXPECT_EQ(render.status, 2) << path;
        EXPECT_EQ(tonemix_test::joined(render), tmhost::crash_line(path, 11, "shading") + "\n");
        EXPECT_FALSE(std::filesystem::exists(output));
    }

    // describe makes a node and shades nothing: the module ends clean but for its handler, which
    // is named.
    const tonemix_test::ProgramRun describe =
        tonemix_test::run_program("describe --module '" + module + "' 2>&1 >/dev/null");
    EXPECT_EQ(describe.status, 1);
    EXPECT_EQ(tonemix_test::joined(describe),
              "tonemix-host: warning: module: the module set its own handler for SIGSEGV; the "
              "host put its own back\n");
    const std::string ignoring = faulty_module("ignores_crash_signal");
    EXPECT_EQ(tonemix_test::joined(tonemix_test::run_program("describe --module '" + ignoring +
                                                             "' 2>&1 >/dev/null")),
              "tonemix-host: warning: module: the module ignored SIGSEGV; the host put its "
              "handler back\n");
}

// A parent that starts the program with the crash signals blocked would have a crash end it
// without its handler.
TEST(ModuleEndings, ACrashIsReportedThoughTheParentBlockedItsSignal) {
    if (!std::filesystem::exists(tonemix_test::host_program())) {
        GTEST_SKIP() << "tonemix-host not built";
    }
    const std::string module = faulty_module("crashes_while_shading");
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGSEGV);
    sigset_t earlier;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &earlier), 0);
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "out.png").string();
    const tonemix_test::ProgramRun render = tonemix_test::run_program(
        "render --module '" + module + "' --width 8 --height 8 -o '" + output + "' 2>&1");
    pthread_sigmask(SIG_SETMASK, &earlier, nullptr);
    EXPECT_EQ(render.status, 2);
    EXPECT_EQ(tonemix_test::joined(render), tmhost::crash_line(module, 11, "shading") + "\n");
}

// What the program writes on standard output, byte for byte, with its exit code; stderr as the
// shell command says.
struct ByteRun {
    int status = -1;
    std::string bytes;
};

ByteRun run_for_bytes(const std::string& shell_command) {
    ByteRun run;
    FILE* pipe = popen(shell_command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.bytes.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ModuleEndings, WhatTheModulePrintsGoesToStandardErrorNotIntoTheImage) {
    if (!std::filesystem::exists(tonemix_test::host_program())) {
        GTEST_SKIP() << "tonemix-host not built";
    }
    const std::string module = faulty_module("prints_on_standard_output");
    tmhost::TemporaryFolder folder;
    const std::string errors = (folder.path() / "errors.txt").string();
    const ByteRun render =
        run_for_bytes("'" + tonemix_test::host_program().string() + "' render --module '" + module +
                      "' --width 8 --height 6 --format png -o - 2>'" + errors + "'");
    EXPECT_EQ(render.status, 0);
    ASSERT_GE(render.bytes.size(), 8u);
    EXPECT_EQ(render.bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const tonemix_test::PngPixels image = tonemix_test::decode_png(render.bytes);
    EXPECT_EQ(image.width, 8) << image.reason;
    EXPECT_EQ(image.height, 6);
    const std::string said = tmhost::file_content(errors);
    EXPECT_EQ(said.rfind("Tonemix says hello here\n", 0), 0u) << said;

    // info's report on stdout stays the program's alone too.
    const ByteRun info = run_for_bytes("'" + tonemix_test::host_program().string() + "' info '" +
                                       module + "' 2>/dev/null");
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.bytes.find("Tonemix says hello"), std::string::npos) << info.bytes;
    EXPECT_EQ(info.bytes.rfind("module: " + module + "\n", 0), 0u) << info.bytes;
}

// A stack limit below what the program needs is raised where it may be; where the hard limit
// forbids it, one line says so, and nothing crashes.
TEST(ModuleEndings, ASmallStackLimitIsRaisedOrRefusedInOneLine) {
    if (!std::filesystem::exists(tonemix_test::host_program())) {
        GTEST_SKIP() << "tonemix-host not built";
    }
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "out.png").string();
    const std::string render = "'" + tonemix_test::host_program().string() +
                               "' render --width 16 --height 12 --threads 4 -o '" + output +
                               "' 2>&1";
    const ByteRun soft = run_for_bytes("ulimit -S -s 64 && " + render);
    EXPECT_EQ(soft.status, 0) << soft.bytes;
    EXPECT_TRUE(std::filesystem::exists(output));
    std::filesystem::remove(output);

    // As root with the right to raise a hard limit, the program raises it and renders.
    const ByteRun hard = run_for_bytes("ulimit -s 64 && " + render);
    if (hard.status == 0) {
        EXPECT_TRUE(std::filesystem::exists(output));
    } else {
        EXPECT_EQ(hard.status, 2);
        EXPECT_EQ(hard.bytes,
                  "tonemix-host: the stack limit is 64 KiB (ulimit -s 64), below the 512 KiB "
                  "this program needs, and it cannot be raised here\n");
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

#else

TEST(ModuleEndings, RunThroughAShellOnLinuxOnly) {
    GTEST_SKIP() << "the program is run through a POSIX shell, with its signal masks and stack "
                    "limits, which Windows has not";
}

#endif

}  // namespace
