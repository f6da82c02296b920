#include "host/image/temporary_files.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace tmhost {

namespace fs = std::filesystem;

namespace {

constexpr int kSlots = 64;
constexpr std::size_t kNameSize = 16;  // the prefix, six letters and a null, with room to spare

enum SlotState : int { kFree = 0, kTaken = 1, kArmed = 2 };

// A folder that takes files but may not be listed (mode 0333) still opens for unlinkat this way.
#ifdef O_PATH
constexpr int kFolderOpening = O_PATH;
#else
constexpr int kFolderOpening = O_RDONLY;
#endif

// Read by the signal handler: only lock-free atomics, plain values and system calls the handler
// may make (unlinkat, getpid).
struct Slot {
    std::atomic<int> state{kFree};
    pid_t owner = 0;  // a child forked mid-write must not remove its parent's file
    int folder = -1;  // the folder, open: the name alone is short, however long the path
    char name[kNameSize] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots' states");

Slot slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction earlier[kSignalCount];

void remove_guarded() {
    const pid_t self = getpid();
    for (Slot& slot : slots) {
        if (slot.state.load() == kArmed && slot.owner == self) unlinkat(slot.folder, slot.name, 0);
    }
}

void on_signal(int number, siginfo_t* info, void* context) {
    const int saved = errno;
    int index = 0;
    while (index + 1 < kSignalCount && kSignals[index] != number) ++index;
    const struct sigaction& before = earlier[index];
    // A handler that was there before ours decides what the signal does; the process may well go
    // on, and its write with it.
    if ((before.sa_flags & SA_SIGINFO) != 0 && before.sa_sigaction != nullptr) {
        before.sa_sigaction(number, info, context);
    } else if ((before.sa_flags & SA_SIGINFO) == 0 && before.sa_handler != SIG_DFL &&
               before.sa_handler != SIG_IGN) {
        before.sa_handler(number);
    } else {
        remove_guarded();
        // The signal ends the process as it would have without us: blocked while this handler
        // runs, it arrives the moment the handler returns.
        signal(number, SIG_DFL);
        raise(number);
    }
    errno = saved;
}

bool ours(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == on_signal;
}

// Looked at again for every write, not once: whatever set a disposition since the last write
// (a module, a library, the program itself) is respected, kept as the earlier action and called.
void install_handlers() {
    static std::mutex installing;
    const std::lock_guard<std::mutex> lock(installing);
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction current {};
        if (sigaction(kSignals[i], nullptr, &current) != 0 || ours(current)) continue;
        if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN) {
            continue;  // ignored (nohup): the write goes on, and so does the process
        }
        earlier[i] = current;
        struct sigaction action {};
        action.sa_sigaction = on_signal;
        action.sa_flags = SA_SIGINFO | (current.sa_flags & SA_RESTART);
        sigfillset(&action.sa_mask);
        sigaction(kSignals[i], &action, nullptr);
    }
}

}  // namespace

GuardedTemporary::GuardedTemporary(const std::string& path) {
    install_handlers();
    const fs::path file(path);
    const std::string name = file.filename().string();
    if (name.size() >= kNameSize) return;
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kTaken)) continue;
        slots[i].folder = open(folder.c_str(), kFolderOpening | O_DIRECTORY | O_CLOEXEC);
        if (slots[i].folder < 0) {
            slots[i].state.store(kFree);
            return;
        }
        slots[i].owner = getpid();
        std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
        slots[i].state.store(kArmed);
        slot_ = i;
        return;
    }
}

void GuardedTemporary::release() {
    if (slot_ < 0) return;
    Slot& slot = slots[slot_];
    slot.state.store(kTaken);
    close(slot.folder);
    slot.folder = -1;
    slot.state.store(kFree);
    slot_ = -1;
}

}  // namespace tmhost
