#include "host/loading/process_state.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/loading/process_state_shared.h"

namespace tmhost {

using process::added;
using process::current_folder;
using process::octal;

char* process::working_folder() { return getcwd(nullptr, 0); }

long process::this_thread_id() { return static_cast<long>(syscall(SYS_gettid)); }

namespace {

std::set<long> numbered_entries(const char* folder) {
    std::set<long> ids;
    DIR* entries = opendir(folder);
    if (entries == nullptr) return ids;
    while (const dirent* entry = readdir(entries)) {
        char* end = nullptr;
        const long id = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0') ids.insert(id);
    }
    closedir(entries);
    return ids;
}

// The parent's id from /proc/ID/stat: the fourth field, after the name in parentheses (which may
// itself hold spaces and parentheses).
long parent_of(long id) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", id);
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return -1;
    char text[1024];
    const std::size_t count = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[count] = '\0';
    const char* after_name = std::strrchr(text, ')');
    if (after_name == nullptr) return -1;
    char state = 0;
    long parent = -1;
    if (std::sscanf(after_name + 1, " %c %ld", &state, &parent) != 2) return -1;
    return parent;
}

bool same_folder(int descriptor) {
    struct stat here {};
    struct stat meant {};
    return stat(".", &here) == 0 && fstat(descriptor, &meant) == 0 && here.st_dev == meant.st_dev &&
           here.st_ino == meant.st_ino;
}

bool may_watch(int signal) { return signal != SIGKILL && signal != SIGSTOP; }

}  // namespace

std::set<long> running_threads() { return numbered_entries("/proc/self/task"); }

std::set<long> child_processes() {
    std::set<long> children;
    const long self = static_cast<long>(getpid());
    for (long id : numbered_entries("/proc")) {
        if (parent_of(id) == self) children.insert(id);
    }
    return children;
}

ProcessWatch::ProcessWatch() {
    umask_ = static_cast<unsigned>(umask(0));
    umask(static_cast<mode_t>(umask_));
    folder_ = current_folder();
    // O_PATH: a folder the user may enter but not list (mode 0311) is still kept to go back to.
    folder_descriptor_ = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    threads_ = running_threads();
    children_ = child_processes();
    actions_.resize(sizeof(struct sigaction) * NSIG);
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action {};
        if (may_watch(signal)) sigaction(signal, nullptr, &action);
        std::memcpy(&actions_[sizeof action * signal], &action, sizeof action);
    }
}

ProcessWatch::~ProcessWatch() {
    if (folder_descriptor_ >= 0) close(folder_descriptor_);
}

std::vector<std::string> ProcessWatch::restore() {
    std::vector<std::string> lines;
    const unsigned now = static_cast<unsigned>(umask(static_cast<mode_t>(umask_)));
    if (now != umask_) {
        lines.push_back("the module changed the umask from " + octal(umask_) + " to " + octal(now) +
                        "; the host set it back");
    }
    if (folder_descriptor_ >= 0 && !same_folder(folder_descriptor_)) {
        const std::string folder = current_folder();
        if (fchdir(folder_descriptor_) == 0) {
            lines.push_back("the module changed the working folder to " + folder +
                            "; the host set it back to " + folder_);
        }
    }
    return lines;
}

std::vector<std::string> ProcessWatch::after_unload(const std::vector<int>& left_alone) {
    std::vector<std::string> lines;
    std::size_t running = 0;
    std::size_t ended = 0;
    for (long id : added(child_processes(), children_)) {
        const pid_t child = static_cast<pid_t>(id);
        int status = 0;
        pid_t waited = waitpid(child, &status, WNOHANG);
        if (waited == child) {
            ended += 1;
            continue;
        }
        if (waited < 0) continue;  // not ours to wait for after all
        kill(child, SIGKILL);
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        running += 1;
    }
    if (running > 0) {
        lines.push_back("the module left " + counted(running, "child process", "child processes") +
                        " running after its unload; the host ended " +
                        (running == 1 ? "it" : "them"));
    }
    if (ended > 0) {
        lines.push_back("the module left " + counted(ended, "child process", "child processes") +
                        " that had ended without being waited for; the host reaped " +
                        (ended == 1 ? "it" : "them"));
    }
    for (std::string& line : restore_signal_actions(left_alone)) lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> ProcessWatch::restore_signal_actions(const std::vector<int>& left_alone) {
    std::vector<std::string> lines;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (!may_watch(signal)) continue;
        if (std::find(left_alone.begin(), left_alone.end(), signal) != left_alone.end()) continue;
        struct sigaction before {};
        std::memcpy(&before, &actions_[sizeof before * signal], sizeof before);
        struct sigaction now {};
        if (sigaction(signal, nullptr, &now) != 0) continue;
        if (now.sa_handler == before.sa_handler) continue;
        sigaction(signal, &before, nullptr);
        const char* name = strsignal(signal);
        lines.push_back("the module changed the action of signal " + std::to_string(signal) + " (" +
                        (name != nullptr ? name : "?") + "); the host set it back");
    }
    return lines;
}

}  // namespace tmhost
