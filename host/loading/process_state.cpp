#include "host/loading/process_state.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "host/loading/process_state_shared.h"

namespace tmhost {

namespace {

// A thread on its way out when the module's end returned is given this long to go.
constexpr auto kThreadGrace = std::chrono::milliseconds(500);

}  // namespace

std::string process::octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 0777u);
    return text;
}

std::string process::current_folder() {
    char* folder = working_folder();
    if (folder == nullptr) return "(a folder whose name cannot be read)";
    std::string text = folder;
    std::free(folder);
    return text;
}

std::set<long> process::added(const std::set<long>& now, const std::set<long>& before) {
    std::set<long> result;
    for (long id : now) {
        if (before.count(id) == 0) result.insert(id);
    }
    return result;
}

namespace {

// The threads that called count_as_host_thread. Process-wide, as the threads are.
std::mutex host_threads_mutex;
std::set<long> host_threads;

std::set<long> module_threads(const std::set<long>& before) {
    std::set<long> left = process::added(running_threads(), before);
    std::lock_guard<std::mutex> lock(host_threads_mutex);
    for (long id : host_threads) left.erase(id);
    return left;
}

}  // namespace

void count_as_host_thread() {
    std::lock_guard<std::mutex> lock(host_threads_mutex);
    host_threads.insert(process::this_thread_id());
}

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::size_t ProcessWatch::threads_left() const {
    const auto give_up = std::chrono::steady_clock::now() + kThreadGrace;
    for (;;) {
        const std::size_t left = module_threads(threads_).size();
        if (left == 0 || std::chrono::steady_clock::now() >= give_up) return left;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace tmhost
