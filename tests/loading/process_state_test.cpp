// What a module changes in the process that loads it: found after its calls and its unload, set
// back, and said once in a line; a child it leaves is ended and reaped, a thread it leaves is
// counted. The faulty modules of tests/faulty_modules/ do each to a session.
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/loading/module_session.h"
#include "host/loading/process_state.h"
#include "host/loading/trial_load.h"
#include "temporary_folder.h"

#if !defined(_WIN32)
#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using Lines = std::vector<std::string>;

std::string faulty_module(const std::string& fault) {
    return std::string(TONEMIX_FAULTY_MODULES) + "/" + fault + "/Tonemix.cdl";
}

// Runs the module's whole life in a session and answers what finish() said.
Lines session_lines(const std::string& module) {
    tmhost::ModuleSession session(module, nullptr, tmhost::ModuleSession::OnCrash::one_line);
    session.require_shader();
    return session.finish();
}

// A thread that waits until it is let go.
class HeldThread {
public:
    HeldThread()
        : thread_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              let_go_.wait(lock, [this] { return gone_; });
          }) {}
    ~HeldThread() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            gone_ = true;
        }
        let_go_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable let_go_;
    bool gone_ = false;
    std::thread thread_;
};

TEST(ProcessWatch, TheWorkingFolderIsSetBackAndNamed) {
    tmhost::TemporaryFolder folder;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const std::string meant = std::filesystem::current_path().string();
    {
        tmhost::ProcessWatch watch;
        EXPECT_TRUE(watch.restore().empty());
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        const std::string moved_to = std::filesystem::current_path().string();
        EXPECT_EQ(watch.restore(), Lines{"the module changed the working folder to " + moved_to +
                                         "; the host set it back to " + meant});
        EXPECT_EQ(std::filesystem::current_path().string(), meant);
        EXPECT_TRUE(watch.restore().empty());
    }
    std::filesystem::current_path(before);
}

TEST(ProcessWatch, AThreadStartedSinceIsCountedUntilItEnds) {
    tmhost::ProcessWatch watch;
    EXPECT_EQ(watch.threads_left(), 0u);
    {
        HeldThread first;
        HeldThread second;
        EXPECT_EQ(watch.threads_left(), 2u);
    }
    EXPECT_EQ(watch.threads_left(), 0u);
    // The host's own watchdog is not the module's.
    std::atomic<bool> counted{false};
    std::atomic<bool> go{false};
    std::thread own([&] {
        tmhost::count_as_host_thread();
        counted = true;
        while (!go) std::this_thread::yield();
    });
    while (!counted) std::this_thread::yield();
    EXPECT_EQ(watch.threads_left(), 0u);
    go = true;
    own.join();
}

TEST(ProcessWatch, CountsSayOneOrMany) {
    EXPECT_EQ(tmhost::counted(1, "thread", "threads"), "1 thread");
    EXPECT_EQ(tmhost::counted(0, "thread", "threads"), "0 threads");
    EXPECT_EQ(tmhost::counted(3, "child process", "child processes"), "3 child processes");
}

#if defined(_WIN32)

TEST(ProcessWatch, ChildrenUmaskAndSignals) {
    GTEST_SKIP() << "no fork, no umask bits and no signal actions to read on Windows";
}

#else

TEST(ProcessWatch, TheUmaskIsSetBackAndNamed) {
    const mode_t before = umask(022);
    {
        tmhost::ProcessWatch watch;
        umask(0777);
        EXPECT_EQ(watch.restore(),
                  Lines{"the module changed the umask from 0022 to 0777; the host set it back"});
        const mode_t now = umask(0);
        umask(now);
        EXPECT_EQ(now, 022u);
    }
    umask(before);
}

TEST(ProcessWatch, ChildrenLeftAreEndedOrReapedAndNamed) {
    const std::set<long> before = tmhost::child_processes();
    tmhost::ProcessWatch watch;
    const pid_t waiting = fork();
    if (waiting == 0) {
        for (;;) pause();
    }
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(waiting, 0);
    ASSERT_GT(ended, 0);
    // Until the second one has ended (a zombie, not yet waited for).
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(ended), &info, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(watch.after_unload(),
              (Lines{"the module left 1 child process running after its unload; the host ended it",
                     "the module left 1 child process that had ended without being waited for; "
                     "the host reaped it"}));
    EXPECT_EQ(tmhost::child_processes(), before);
    EXPECT_TRUE(watch.after_unload().empty());
}

// Counted in the plural, each kind on its line.
TEST(ProcessWatch, SeveralChildrenLeftAreCountedTogether) {
    const std::set<long> before = tmhost::child_processes();
    tmhost::ProcessWatch watch;
    pid_t children[4] = {};
    for (int i = 0; i < 4; ++i) {
        children[i] = fork();
        if (children[i] == 0) {
            if (i < 2) _exit(0);
            for (;;) pause();
        }
        ASSERT_GT(children[i], 0);
    }
    for (int i = 0; i < 2; ++i) {
        siginfo_t info{};
        ASSERT_EQ(waitid(P_PID, static_cast<id_t>(children[i]), &info, WEXITED | WNOWAIT), 0);
    }
    EXPECT_EQ(watch.after_unload(),
              (Lines{"the module left 2 child processes running after its unload; the host "
                     "ended them",
                     "the module left 2 child processes that had ended without being waited "
                     "for; the host reaped them"}));
    EXPECT_EQ(tmhost::child_processes(), before);
}

TEST(ProcessWatch, AChangedSignalActionIsSetBackAndNamed) {
    struct sigaction before {};
    sigaction(SIGUSR1, nullptr, &before);
    {
        tmhost::ProcessWatch watch;
        std::signal(SIGUSR1, SIG_IGN);
        EXPECT_EQ(watch.after_unload(), Lines{"the module changed the action of signal 10 (User "
                                              "defined signal 1); the host set it back"});
        struct sigaction now {};
        sigaction(SIGUSR1, nullptr, &now);
        EXPECT_EQ(now.sa_handler, before.sa_handler);
    }
    // Set back before the unload, it is not named again after it.
    {
        tmhost::ProcessWatch watch;
        std::signal(SIGUSR1, SIG_IGN);
        EXPECT_EQ(watch.restore_signal_actions(),
                  Lines{"the module changed the action of signal 10 (User defined signal 1); the "
                        "host set it back"});
        EXPECT_TRUE(watch.after_unload().empty());
        struct sigaction now {};
        sigaction(SIGUSR1, nullptr, &now);
        EXPECT_EQ(now.sa_handler, before.sa_handler);
    }
}

TEST(ModuleProcessState, ASessionEndsTheModulesChildrenAndSaysSo) {
    const std::set<long> before = tmhost::child_processes();
    for (const char* fault : {"forks_at_start", "forks_while_loading"}) {
        EXPECT_EQ(session_lines(faulty_module(fault)),
                  Lines{"the module left 1 child process running after its unload; the host "
                        "ended it"})
            << fault;
        EXPECT_EQ(tmhost::child_processes(), before) << fault;
    }
}

TEST(ModuleProcessState, AForkWhileLoadingDoesNotHoldTheTrialLoad) {
    // The module's child keeps the trial's pipe open for a minute: the trial ends with the child
    // that loaded the file, and the module's child with it.
    const std::set<long> before = tmhost::child_processes();
    const tmhost::TrialLoad trial = tmhost::trial_load(faulty_module("forks_while_loading"));
    EXPECT_EQ(trial.outcome, tmhost::TrialLoad::Outcome::passed);
    EXPECT_EQ(tmhost::child_processes(), before);
}

TEST(ModuleProcessState, TheUmaskAModuleSetsIsTheHostsAgainAfterItsStart) {
    const mode_t before = umask(022);
    {
        tmhost::ModuleSession session(faulty_module("sets_umask_at_start"));
        const mode_t now = umask(022);
        EXPECT_EQ(now, 022u);
        EXPECT_EQ(session.finish(),
                  Lines{"the module changed the umask from 0022 to 0777; the host set it back"});
    }
    umask(before);
}

#endif

TEST(ModuleProcessState, TheWorkingFolderAModuleChangesIsTheHostsAgainAfterItsStart) {
    tmhost::TemporaryFolder folder;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const std::string meant = std::filesystem::current_path().string();
    {
        tmhost::ModuleSession session(faulty_module("changes_folder_at_start"));
        EXPECT_EQ(std::filesystem::current_path().string(), meant);
        const std::string root = std::filesystem::current_path().root_path().string();
        EXPECT_EQ(session.finish(), Lines{"the module changed the working folder to " + root +
                                          "; the host set it back to " + meant});
    }
    std::filesystem::current_path(before);
}

TEST(ModuleProcessState, ASecondRegistrationOfOneIdIsAMisuseLine) {
    EXPECT_EQ(session_lines(faulty_module("registers_twice")),
              Lines{"misuse: general_register_plugin: plug-in id 1007539 registered twice in one "
                    "start (\"Tonemix\")"});
    // The real module registers once per start, however often it is started.
    EXPECT_TRUE(session_lines(TONEMIX_MODULE_FILE).empty());
}

}  // namespace
