// Modules that change the process they are loaded in (tests/faulty_modules/), through the built
// program as a user runs it: render, info and validate each say what the module did in one line
// and exit 1, the image is written whole, with the user's mode, where the user meant, and no
// process that maps the module is left when the command has ended.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "emulation_limits.h"
#include "program_run.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <dirent.h>
#include <sys/stat.h>

namespace {

std::string built_faulty_module(const std::string& fault) {
    return std::string(TONEMIX_FAULTY_MODULES) + "/" + fault + "/Tonemix.cdl";
}

// Processes, this one's children's children included, that still map `module`. A zombie maps
// nothing.
int processes_mapping(const std::string& module) {
    int count = 0;
    DIR* entries = opendir("/proc");
    if (entries == nullptr) return -1;
    while (const dirent* entry = readdir(entries)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        std::ifstream maps(std::string("/proc/") + entry->d_name + "/maps");
        std::string line;
        while (std::getline(maps, line)) {
            if (line.find(module) != std::string::npos) {
                count += 1;
                break;
            }
        }
    }
    closedir(entries);
    return count;
}

unsigned mode_of(const std::filesystem::path& file) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) return 07777;
    return static_cast<unsigned>(status.st_mode) & 07777u;
}

struct ProcessFault {
    const char* module;
    const char* line;             // what render warns of and info lists
    const char* lifecycle_start;  // how validate's lifecycle line begins
};

const ProcessFault kFaults[] = {
    {"forks_at_start",
     "the module left 1 child process running after its unload; the host ended it",
     "lifecycle: FAIL: load 1: the module left 5 child processes running after its unload; the "
     "host ended them; "},
    {"forks_while_loading",
     "the module left 1 child process running after its unload; the host ended it",
     "lifecycle: FAIL: load 1: the module left 1 child process running after its unload; the host "
     "ended it; "},
    {"leaves_thread_running",
     "the module left 1 thread running after its end; the host keeps the module loaded, so that it "
     "does not run into unmapped code",
     "lifecycle: FAIL: load 1: the module left 5 threads running after its end"},
    // The child's end after the unload would send SIGCHLD to the module's gone handler.
    {"handles_child_signal_and_forks",
     "the module changed the action of signal 17 (Child exited); the host set it back",
     "lifecycle: FAIL: load 1: the module changed the action of signal 17 (Child exited); the host "
     "set it back; "},
    // Kept loaded, it stays watched: its thread's exit once the host stopped watching would end
    // the process with 0 before the image is written.
    {"exits_after_its_end",
     "the module left 1 thread running after its end; the host keeps the module loaded, so that it "
     "does not run into unmapped code",
     "lifecycle: FAIL: load 1: the module left 5 threads running after its end"},
    {"sets_umask_at_start", "the module changed the umask from 0022 to 0777; the host set it back",
     "lifecycle: FAIL: load 1: the module changed the umask from 0022 to 0777; the host set it "
     "back; "},
    {"registers_twice",
     "misuse: general_register_plugin: plug-in id 1007539 registered twice in one start "
     "(\"Tonemix\")",
     "lifecycle: FAIL: load 1, after end: misuse: general_register_plugin: plug-in id 1007539 "
     "registered twice in one start (\"Tonemix\"); "},
};

class ProcessStateCommands : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(tonemix_test::host_program())) {
            GTEST_SKIP() << "tonemix-host not built";
        }
        umask_before_ = umask(022);
    }
    void TearDown() override { umask(umask_before_); }

    // A copy of the faulty module of its own, with its res/ folder: the processes that map it are
    // this test's, whatever other tests load the same module at the same time.
    std::string faulty_module(const std::string& fault) {
        const std::filesystem::path built = built_faulty_module(fault);
        const std::filesystem::path copy = modules_.path() / fault;
        std::filesystem::create_directories(copy);
        std::filesystem::copy(built.parent_path(), copy,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        return (copy / "Tonemix.cdl").string();
    }

    mode_t umask_before_ = 0;
    tmhost::TemporaryFolder modules_;
};

TEST_F(ProcessStateCommands, RenderWritesTheImageAndWarnsOfWhatTheModuleDid) {
    for (const ProcessFault& fault : kFaults) {
        const std::string module = faulty_module(fault.module);
        tmhost::TemporaryFolder folder;
        const tonemix_test::ProgramRun run = tonemix_test::run_program(
            "render --module '" + module + "' --width 8 --height 6 -o out.png 2>&1",
            folder.path().string());
        EXPECT_EQ(run.status, 1) << fault.module << "\n" << tonemix_test::joined(run);
        EXPECT_TRUE(tonemix_test::has_line(
            run, std::string("tonemix-host: warning: module: ") + fault.line))
            << fault.module << "\n"
            << tonemix_test::joined(run);
        EXPECT_EQ(mode_of(folder.path() / "out.png"), 0644u) << fault.module;
        int temporary = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            if (entry.path().filename().string().rfind(".tmx-", 0) == 0) temporary += 1;
        }
        EXPECT_EQ(temporary, 0) << fault.module;
        EXPECT_EQ(processes_mapping(module), 0) << fault.module;
    }
}

TEST_F(ProcessStateCommands, ARelativeOutputGoesWhereTheUserMeant) {
    const std::string module = faulty_module("changes_folder_at_start");
    tmhost::TemporaryFolder folder;
    const std::string meant = std::filesystem::canonical(folder.path()).string();
    const tonemix_test::ProgramRun run = tonemix_test::run_program(
        "render --module '" + module + "' --width 8 --height 6 -o out.png 2>&1", meant);
    EXPECT_EQ(run.status, 1) << tonemix_test::joined(run);
    EXPECT_TRUE(tonemix_test::has_line(
        run,
        "tonemix-host: warning: module: the module changed the working folder to /; the host "
        "set it back to " +
            meant))
        << tonemix_test::joined(run);
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "out.png"));
}

TEST_F(ProcessStateCommands, InfoListsWhatTheModuleDid) {
    for (const ProcessFault& fault : kFaults) {
        const std::string module = faulty_module(fault.module);
        const tonemix_test::ProgramRun run =
            tonemix_test::run_program("info '" + module + "' 2>&1");
        EXPECT_EQ(run.status, 1) << fault.module << "\n" << tonemix_test::joined(run);
        EXPECT_TRUE(tonemix_test::has_line(run, std::string("  ") + fault.line))
            << fault.module << "\n"
            << tonemix_test::joined(run);
        EXPECT_EQ(processes_mapping(module), 0) << fault.module;
    }
}

TEST_F(ProcessStateCommands, ValidateFailsTheLifecycleGroupWithWhatTheModuleDid) {
    for (const ProcessFault& fault : kFaults) {
        const std::string module = faulty_module(fault.module);
        const tonemix_test::ProgramRun run = tonemix_test::run_program(
            "validate '" + module + "' --only lifecycle --level 1 --seed 1 2>&1");
        EXPECT_EQ(run.status, 1) << fault.module;
        ASSERT_EQ(run.lines.size(), 3u) << fault.module << "\n" << tonemix_test::joined(run);
        EXPECT_EQ(run.lines[1].rfind(fault.lifecycle_start, 0), 0u)
            << fault.module << ": " << run.lines[1];
        EXPECT_EQ(run.lines[2], "0 passed, 1 failed");
        EXPECT_EQ(processes_mapping(module), 0) << fault.module;
    }
}

TEST_F(ProcessStateCommands, AForkAtStartHangsNoGroup) {
    const std::string module = faulty_module("forks_at_start");
    const tonemix_test::ProgramRun run =
        tonemix_test::run_program("validate '" + module + "' --level 1 --seed 1 2>&1");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 9u) << tonemix_test::joined(run);
    for (std::size_t i = 1; i + 1 < run.lines.size(); ++i) {
        EXPECT_EQ(run.lines[i].find("hung"), std::string::npos) << run.lines[i];
        EXPECT_EQ(run.lines[i].find("crashed"), std::string::npos) << run.lines[i];
    }
    EXPECT_EQ(processes_mapping(module), 0);
}

TEST_F(ProcessStateCommands, AHangInTheUnloadIsAHangDuringUnload) {
    const std::string module = faulty_module("hangs_while_unloading");
    const tonemix_test::ProgramRun run = tonemix_test::run_program(
        "validate '" + module + "' --level 1 --seed 1 --time-limit 2 2>&1");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 9u) << tonemix_test::joined(run);
    EXPECT_EQ(run.lines[1],
              "lifecycle: FAIL: hung: no verdict within the time limit of 2 s (the module hung or "
              "ran far too slowly) during unload");
    EXPECT_EQ(run.lines[2],
              "host-faults: FAIL: not run: the module hung as it was loaded or unloaded (see "
              "lifecycle)");
    EXPECT_EQ(processes_mapping(module), 0);
}

TEST_F(ProcessStateCommands, AnInheritedIgnoredChildSignalDoesNotHideACrash) {
    // Ignored, the system reaps the group's child itself and its end could not be read.
    const std::string module = faulty_module("crashes_while_shading");
    const std::string command = "trap '' CHLD && exec '" + tonemix_test::host_program().string() +
                                "' validate '" + module +
                                "' --only render-records --level 1 --seed 1 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) text += static_cast<char>(c);
    pclose(pipe);
    EXPECT_EQ(text.find("gave no verdict"), std::string::npos) << text;
    EXPECT_NE(text.find("\nrender-records: FAIL: "), std::string::npos) << text;
}

#if !defined(__SANITIZE_ADDRESS__)
// The sanitizer's shadow memory alone is past any such limit.
TEST_F(ProcessStateCommands, ValidateNamesTheHostsOwnLimitBeforeAnyGroup) {
    if (const std::string why = tonemix_test::no_address_space_limit(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    // With 8 MiB stacks, the threads group's 64 threads alone take 512 MiB.
    const std::string command = "ulimit -s 8192 && ulimit -v 150000 && '" +
                                tonemix_test::host_program().string() + "' validate '" +
                                tonemix_test::module_file() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) text += static_cast<char>(c);
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(text,
              "tonemix-host: validate: this host's own limits are too small to validate a module: "
              "the address-space limit (ulimit -v) is 150000 KiB, below the 786432 KiB needed; "
              "no group was run\n");
}
#endif

}  // namespace

#endif
