// A module file loaded first in a child: what ends the child (a crash or an exit in the module's
// constructors or destructors, the system's loader stopping on damaged relocations, a file
// without c4d_main)
// becomes the host's one line, and the host itself never maps such a file.
#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "elf_sections.h"
#include "host/loading/crash_report.h"
#include "host/loading/module_file.h"
#include "host/loading/trial_load.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/loading/coverage_counts.h"

namespace {

using Outcome = tmhost::TrialLoad::Outcome;

bool is_mapped(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
}

TEST(TrialLoad, EachWayALoadEndsIsToldAndTheHostMapsNothingThatFailed) {
    EXPECT_EQ(tmhost::trial_load(TONEMIX_MODULE_FILE).outcome, Outcome::passed);

    const std::string crashing =
        std::string(TONEMIX_FAULTY_MODULES) + "/crashes_while_loading/Tonemix.cdl";
    const tmhost::TrialLoad crash = tmhost::trial_load(crashing);
    EXPECT_EQ(crash.outcome, Outcome::crashed);
    EXPECT_EQ(crash.signal, static_cast<unsigned long>(SIGSEGV));
    tmhost::ModuleFile module;
    EXPECT_FALSE(module.load(crashing, tmhost::ModuleFile::Trial::in_child));
    EXPECT_EQ(module.error(),
              "the module crashed while loading (signal 11, segmentation fault); "
              "`tonemix-host validate " +
                  crashing + "` shows where");
    EXPECT_EQ(module.error(), tmhost::crash_text(crashing, SIGSEGV));
    EXPECT_FALSE(is_mapped(crashing));

    Dl_info libc;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::raise), &libc), 0);
    EXPECT_EQ(tmhost::trial_load(libc.dli_fname).outcome, Outcome::no_entry);
    EXPECT_FALSE(module.load(libc.dli_fname, tmhost::ModuleFile::Trial::in_child));
    EXPECT_EQ(module.error(),
              std::string("not a module of this host (no c4d_main): ") + libc.dli_fname);

    tmhost::TemporaryFolder folder;
    const std::string text = folder.write("Text.cdl", "not a module").string();
    EXPECT_EQ(tmhost::trial_load(text).outcome, Outcome::passed) << "the host's load says why";

    const std::string damaged =
        tonemix_test::module_with_a_wrong_relocation(TONEMIX_MODULE_FILE, folder);
    if (damaged.empty()) GTEST_SKIP() << "the module's first relocation is not a relative one";
    const tmhost::TrialLoad stopped = tmhost::trial_load(damaged);
    EXPECT_EQ(stopped.outcome, Outcome::loader_stopped);
    EXPECT_EQ(stopped.exit_code, 127);
    EXPECT_EQ(stopped.message.rfind("Inconsistency detected by ld.so: ", 0), 0u) << stopped.message;
    EXPECT_FALSE(module.load(damaged, tmhost::ModuleFile::Trial::in_child));
    EXPECT_EQ(module.error().rfind("not a loadable module: " + damaged +
                                       " (the system's loader stopped: Inconsistency detected "
                                       "by ld.so: ",
                                   0),
              0u)
        << module.error();
    EXPECT_FALSE(is_mapped(damaged));
}

// An exit in the module's constructors or destructors, _exit included, which no hook of the
// host's own process could see, ends the child: the host names the code and what the module was
// doing, and maps nothing.
TEST(TrialLoad, AModuleThatEndsTheProcessAsItLoadsOrUnloadsIsNamed) {
    struct Case {
        const char* fault;
        int exit_code;
        const char* phase;
    };
    for (const Case& ending : {Case{"exits_while_loading", 0, "loading"},
                               Case{"exits_while_unloading", 5, "unloading"}}) {
        SCOPED_TRACE(ending.fault);
        const std::string path =
            std::string(TONEMIX_FAULTY_MODULES) + "/" + ending.fault + "/Tonemix.cdl";
        const tmhost::TrialLoad trial = tmhost::trial_load(path);
        EXPECT_EQ(trial.outcome, Outcome::ended);
        EXPECT_EQ(trial.exit_code, ending.exit_code);
        EXPECT_EQ(trial.phase, ending.phase);
        tmhost::ModuleFile module;
        EXPECT_FALSE(module.load(path, tmhost::ModuleFile::Trial::in_child));
        EXPECT_EQ(module.error(), "the module ended the process (exit " +
                                      std::to_string(ending.exit_code) + ") while " + ending.phase);
        EXPECT_FALSE(is_mapped(path));
    }
    // A crash in the destructors is told with its phase too; the real module unloads clean.
    const tmhost::TrialLoad real = tmhost::trial_load(TONEMIX_MODULE_FILE);
    EXPECT_EQ(real.outcome, Outcome::passed);
    EXPECT_EQ(real.phase, "unloading") << "the child reached the unload";
}

// Without its unload (a caller that unloads the module itself right after), a trial still tells
// a clean load from a file without c4d_main and from a module that ends the child as it loads.
TEST(TrialLoad, ATrialThatStopsAtTheLoadTellsEachOutcome) {
    const tmhost::TrialLoad clean = tmhost::trial_load(TONEMIX_MODULE_FILE, false);
    EXPECT_EQ(clean.outcome, Outcome::passed);
    EXPECT_EQ(tmhost::trial_load_problem(TONEMIX_MODULE_FILE, clean), "");

    Dl_info libc;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::raise), &libc), 0);
    EXPECT_EQ(tmhost::trial_load(libc.dli_fname, false).outcome, Outcome::no_entry);

    const tmhost::TrialLoad exiting = tmhost::trial_load(
        std::string(TONEMIX_FAULTY_MODULES) + "/exits_while_loading/Tonemix.cdl", false);
    EXPECT_EQ(exiting.outcome, Outcome::ended);
    EXPECT_EQ(exiting.exit_code, 0);
    EXPECT_EQ(exiting.phase, "loading");
}

// The lowest descriptor number past `free` unused ones: a limit there leaves exactly that many.
int limit_leaving(int free) {
    int fd = 0;
    for (int found = 0;; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && found++ == free) return fd;
    }
}

int unused_below(int limit) {
    int count = 0;
    for (int fd = 0; fd < limit; ++fd) count += fcntl(fd, F_GETFD) == -1 ? 1 : 0;
    return count;
}

// With no descriptor left for its status file or its pipes, no trial is made: the host's own load
// meets what the file does, and the descriptors a trial took are given back. In a child, whose
// limit may be lowered.
TEST(TrialLoad, NoDescriptorsForItsPipesIsNoTrialAndLeavesNoneOpen) {
    for (int free = 0; free <= 3; ++free) {
        SCOPED_TRACE(free);
        const pid_t child = fork();
        if (child == 0) {
            rlimit before{};
            getrlimit(RLIMIT_NOFILE, &before);
            const int limit = limit_leaving(free);
            rlimit lowered = before;
            lowered.rlim_cur = static_cast<rlim_t>(limit);
            int failed = setrlimit(RLIMIT_NOFILE, &lowered) != 0 ? 1 : 0;
            const tmhost::TrialLoad trial = tmhost::trial_load(TONEMIX_MODULE_FILE);
            if (trial.outcome != Outcome::not_tried) failed |= 2;
            if (unused_below(limit) != free) failed |= 4;
            setrlimit(RLIMIT_NOFILE, &before);
            tmhost::write_coverage_counts();
            _exit(failed);
        }
        ASSERT_GT(child, 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "the limit could not be lowered";
        EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "a trial was made";
        EXPECT_EQ(WEXITSTATUS(status) & 4, 0) << "a descriptor was left open";
    }
}

}  // namespace
#endif
