#include "host/loading/process_state.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
#else
#include <cerrno>
#include <csignal>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tmhost {

namespace {

// A thread on its way out when the module's end returned is given this long to go.
constexpr auto kThreadGrace = std::chrono::milliseconds(500);

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 0777u);
    return text;
}

std::string current_folder() {
#if defined(_WIN32)
    char* folder = _getcwd(nullptr, 0);
#else
    char* folder = getcwd(nullptr, 0);
#endif
    if (folder == nullptr) return "(a folder whose name cannot be read)";
    std::string text = folder;
    std::free(folder);
    return text;
}

std::set<long> added(const std::set<long>& now, const std::set<long>& before) {
    std::set<long> result;
    for (long id : now) {
        if (before.count(id) == 0) result.insert(id);
    }
    return result;
}

// The threads that called count_as_host_thread. Process-wide, as the threads are.
std::mutex host_threads_mutex;
std::set<long> host_threads;

long this_thread_id() {
#if defined(_WIN32)
    return static_cast<long>(GetCurrentThreadId());
#else
    return static_cast<long>(syscall(SYS_gettid));
#endif
}

std::set<long> module_threads(const std::set<long>& before) {
    std::set<long> left = added(running_threads(), before);
    std::lock_guard<std::mutex> lock(host_threads_mutex);
    for (long id : host_threads) left.erase(id);
    return left;
}

}  // namespace

void count_as_host_thread() {
    std::lock_guard<std::mutex> lock(host_threads_mutex);
    host_threads.insert(this_thread_id());
}

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

#if defined(_WIN32)

namespace {

template <typename Entry, typename First, typename Next, typename Take>
std::set<long> snapshot(DWORD kind, First first, Next next, Take take) {
    std::set<long> ids;
    HANDLE all = CreateToolhelp32Snapshot(kind, 0);
    if (all == INVALID_HANDLE_VALUE) return ids;
    Entry entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = first(all, &entry); more; more = next(all, &entry)) take(entry, ids);
    CloseHandle(all);
    return ids;
}

}  // namespace

std::set<long> running_threads() {
    const DWORD self = GetCurrentProcessId();
    return snapshot<THREADENTRY32>(TH32CS_SNAPTHREAD, Thread32First, Thread32Next,
                                   [self](const THREADENTRY32& entry, std::set<long>& ids) {
                                       if (entry.th32OwnerProcessID == self)
                                           ids.insert(static_cast<long>(entry.th32ThreadID));
                                   });
}

std::set<long> child_processes() {
    const DWORD self = GetCurrentProcessId();
    return snapshot<PROCESSENTRY32>(TH32CS_SNAPPROCESS, Process32First, Process32Next,
                                    [self](const PROCESSENTRY32& entry, std::set<long>& ids) {
                                        if (entry.th32ParentProcessID == self)
                                            ids.insert(static_cast<long>(entry.th32ProcessID));
                                    });
}

ProcessWatch::ProcessWatch() {
    umask_ = static_cast<unsigned>(_umask(0));
    _umask(static_cast<int>(umask_));
    folder_ = current_folder();
    threads_ = running_threads();
    children_ = child_processes();
}

ProcessWatch::~ProcessWatch() = default;

std::vector<std::string> ProcessWatch::restore() {
    std::vector<std::string> lines;
    const unsigned now = static_cast<unsigned>(_umask(static_cast<int>(umask_)));
    if (now != umask_) {
        lines.push_back("the module changed the umask from " + octal(umask_) + " to " + octal(now) +
                        "; the host set it back");
    }
    const std::string folder = current_folder();
    if (folder != folder_ && _chdir(folder_.c_str()) == 0) {
        lines.push_back("the module changed the working folder to " + folder +
                        "; the host set it back to " + folder_);
    }
    return lines;
}

std::vector<std::string> ProcessWatch::after_unload(const std::vector<int>&) {
    // The C runtime's signal table has no way to read an action without setting it, so only the
    // children are looked at here.
    std::vector<std::string> lines;
    const std::set<long> left = added(child_processes(), children_);
    std::size_t ended = 0;
    for (long id : left) {
        HANDLE child = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
        if (child == nullptr) continue;
        if (WaitForSingleObject(child, 0) != WAIT_OBJECT_0) {
            TerminateProcess(child, 1);
            WaitForSingleObject(child, 5000);
            ended += 1;
        }
        CloseHandle(child);
    }
    if (ended > 0) {
        lines.push_back("the module left " + counted(ended, "child process", "child processes") +
                        " running after its unload; the host ended " +
                        (ended == 1 ? "it" : "them"));
    }
    return lines;
}

std::vector<std::string> ProcessWatch::restore_signal_actions(const std::vector<int>&) {
    return {};
}

#else

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
    folder_descriptor_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

#endif

std::size_t ProcessWatch::threads_left() const {
    const auto give_up = std::chrono::steady_clock::now() + kThreadGrace;
    for (;;) {
        const std::size_t left = module_threads(threads_).size();
        if (left == 0 || std::chrono::steady_clock::now() >= give_up) return left;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace tmhost
