#include "host/loading/trial_load.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/core/emulation.h"
#include "host/loading/child_process.h"
#include "host/loading/coverage_counts.h"
#include "host/loading/crash_report.h"
#include "host/loading/module_endings.h"

namespace tmhost {

namespace {

constexpr std::size_t kMostMessageBytes = 4096;
// The child's exit codes besides 0 and the loader's own.
constexpr int kNotLoaded = 3;
constexpr int kNoEntry = 4;

// What the child tells the parent on a pipe of its own as it goes: the module ends the child
// with any code it likes, the loader's own ends included, so only what the child says tells an
// end of the module's from the child's own.
constexpr char kLoaded = 'L';
constexpr char kUnloaded = 'U';
// The child's work is done where no unload was asked for: the end that follows is the child's own.
constexpr char kDone = 'D';

void tell(int marker_pipe, char what) {
    if (write(marker_pipe, &what, 1) < 0) {
        // The parent reads the end as the module's.
    }
}

// In the child: load, unload (the module's destructors run) and end, without the parent's
// exit-time work. Crashes take their default action, so that the parent sees the signal rather
// than a handler's (a sanitizer's) exit code; an exit the module calls ends the child with the
// module's code.
[[noreturn]] void load_in_child(const std::string& path, int message_pipe, int marker_pipe,
                                bool unload) {
    for (int signal : {SIGSEGV, SIGILL, SIGBUS, SIGFPE, SIGABRT}) std::signal(signal, SIG_DFL);
    disarm_module_endings();
    dup2(message_pipe, STDERR_FILENO);
    const int null_output = open("/dev/null", O_WRONLY);
    if (null_output >= 0) dup2(null_output, STDOUT_FILENO);
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        tell(marker_pipe, kUnloaded);
        write_coverage_counts();
        _exit(kNotLoaded);
    }
    const bool has_entry = dlsym(module, "c4d_main") != nullptr;
    tell(marker_pipe, kLoaded);
    if (unload) {
        dlclose(module);
        tell(marker_pipe, kUnloaded);
    } else {
        tell(marker_pipe, kDone);
    }
    write_coverage_counts();
    _exit(has_entry ? 0 : kNoEntry);
}

std::string markers_left(int from) {
    std::string markers;
    char buffer[8];
    for (ssize_t count; (count = read(from, buffer, sizeof buffer)) > 0;)
        markers.append(buffer, static_cast<std::size_t>(count));
    return markers;
}

// Whether this process runs no thread but the caller (and an emulator's own): only then may the
// child be made with fork. A thread that holds a lock at that moment (the sanitizer's allocator,
// the loader's) holds it in the child for ever, and the child's load waits on it.
bool alone() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return false;
    char line[256];
    long threads = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "Threads:", 8) == 0) threads = std::strtol(line + 8, nullptr, 10);
    }
    std::fclose(status);
    return threads >= 1 && threads <= (running_under_emulation() ? 2 : 1);
}

std::string first_line(const std::string& text) {
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

TrialLoad trial_load(const std::string& path, bool unload) {
    TrialLoad trial;
    if (!alone()) return trial;
    int message_pipe[2];
    if (pipe2(message_pipe, O_CLOEXEC) != 0) return trial;
    int marker_pipe[2];
    if (pipe2(marker_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(message_pipe[0]);
        close(message_pipe[1]);
        return trial;
    }
    wait_for_children_by_default();
    const pid_t child = fork();
    if (child == 0) {
        enter_own_group();
        load_in_child(path, message_pipe[1], marker_pipe[1], unload);
    }
    close(message_pipe[1]);
    close(marker_pipe[1]);
    if (child < 0) {
        close(message_pipe[0]);
        close(marker_pipe[0]);
        return trial;
    }
    give_own_group(child);
    // A module that forks as it loads hands the pipe to its own child, which may keep it open:
    // the trial ends with the child that loaded the file, and the rest of its group is ended.
    std::string message;
    const ChildEnd end =
        wait_for_child(child, message_pipe[0], message, kMostMessageBytes, kTrialLoadSeconds);
    close(message_pipe[0]);
    if (end.lost) {
        // How the child ended is not known: as if no trial was made, the host's own load meets
        // whatever the file does.
        close(marker_pipe[0]);
        return trial;
    }
    const bool closed = !end.timed_out;
    const int status = end.status;
    const std::string markers = markers_left(marker_pipe[0]);
    close(marker_pipe[0]);
    const bool loaded = markers.find(kLoaded) != std::string::npos;
    const bool finished =
        markers.find(kUnloaded) != std::string::npos || markers.find(kDone) != std::string::npos;
    trial.phase = loaded ? "unloading" : "loading";
    if (!closed) {
        trial.outcome = TrialLoad::Outcome::not_finished;
    } else if (WIFSIGNALED(status)) {
        trial.outcome = TrialLoad::Outcome::crashed;
        trial.signal = static_cast<unsigned long>(WTERMSIG(status));
    } else if (WIFEXITED(status) && !finished &&
               (loaded || WEXITSTATUS(status) != 127 || message.empty())) {
        // The loader's own stop is exit 127 with its words, before anything was loaded.
        trial.outcome = TrialLoad::Outcome::ended;
        trial.exit_code = WEXITSTATUS(status);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kNoEntry) {
        trial.outcome = TrialLoad::Outcome::no_entry;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != kNotLoaded) {
        trial.outcome = TrialLoad::Outcome::loader_stopped;
        trial.exit_code = WEXITSTATUS(status);
        trial.message = first_line(message);
    } else {
        trial.outcome = TrialLoad::Outcome::passed;
    }
    return trial;
}

}  // namespace tmhost
