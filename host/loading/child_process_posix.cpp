#include "host/loading/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tmhost {

namespace {

// How often the parent looks whether the child has ended while the pipe is quiet.
constexpr int kLookMilliseconds = 20;

// Reads what is there now; false at the pipe's end or on an error.
bool read_some(int from, std::string& text, std::size_t most_bytes, int wait_milliseconds) {
    pollfd ready{from, POLLIN, 0};
    const int polled = poll(&ready, 1, wait_milliseconds);
    if (polled < 0) return errno == EINTR;
    if (polled == 0) return true;
    char buffer[4096];
    const ssize_t count = read(from, buffer, sizeof buffer);
    if (count < 0) return errno == EINTR || errno == EAGAIN;
    if (count == 0) return false;
    if (text.size() < most_bytes) text.append(buffer, static_cast<std::size_t>(count));
    return true;
}

// What the child wrote before it ended: all of it is in the pipe already.
void read_rest(int from, std::string& text, std::size_t most_bytes) {
    for (;;) {
        pollfd ready{from, POLLIN, 0};
        if (poll(&ready, 1, 0) <= 0 || (ready.revents & POLLIN) == 0) return;
        const std::size_t before = text.size();
        char buffer[4096];
        const ssize_t count = read(from, buffer, sizeof buffer);
        if (count <= 0) return;
        if (before < most_bytes) text.append(buffer, static_cast<std::size_t>(count));
    }
}

}  // namespace

void enter_own_group() {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void give_own_group(pid_t child) { setpgid(child, child); }

void wait_for_children_by_default() {
    struct sigaction action {};
    sigaction(SIGCHLD, nullptr, &action);
    if (action.sa_handler == SIG_IGN) {
        action.sa_handler = SIG_DFL;
        action.sa_flags &= ~SA_NOCLDWAIT;
        sigaction(SIGCHLD, &action, nullptr);
    }
}

ChildEnd wait_for_child(pid_t child, int from, std::string& text, std::size_t most_bytes,
                        double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    ChildEnd end;
    bool pipe_open = true;
    for (;;) {
        const pid_t waited = waitpid(child, &end.status, WNOHANG);
        if (waited < 0 && errno != EINTR) {
            end.lost = true;
            end.wait_error = errno;
            end.status = 0;
        }
        if (waited == child || end.lost) {
            kill(-child, SIGKILL);
            if (pipe_open) read_rest(from, text, most_bytes);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            end.timed_out = true;
            kill(-child, SIGKILL);
            kill(child, SIGKILL);
            while (waitpid(child, &end.status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (pipe_open) {
            pipe_open = read_some(from, text, most_bytes, kLookMilliseconds);
        } else {
            poll(nullptr, 0, kLookMilliseconds);
        }
    }
    // What the child started and left: nothing of the group is needed any more.
    kill(-child, SIGKILL);
    return end;
}

}  // namespace tmhost
