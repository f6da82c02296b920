#include "host/loading/process_state.h"

#include <direct.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include "host/loading/process_state_shared.h"

namespace tmhost {

using process::added;
using process::current_folder;
using process::octal;

char* process::working_folder() { return _getcwd(nullptr, 0); }

long process::this_thread_id() { return static_cast<long>(GetCurrentThreadId()); }

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

// The C runtime's signal table cannot be read without being set: nothing to set back.
std::vector<std::string> ProcessWatch::restore_signal_actions(const std::vector<int>&) {
    return {};
}

}  // namespace tmhost
