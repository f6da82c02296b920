// A thread with a stack of a chosen size, which std::thread cannot ask for. A 32-bit process has
// address space for a few hundred threads of Linux's default 8 MiB stack, and the server's pools
// need far less each.
#ifndef TMHOST_SIZED_THREAD_H
#define TMHOST_SIZED_THREAD_H

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tmhost {

class SizedThread {
public:
    // Runs `body` on a new thread whose stack reserves `stack_bytes` (the system's least when
    // that is less). Throws std::system_error when the system makes no thread. An exception
    // that leaves `body` ends the program, as with std::thread.
    SizedThread(std::size_t stack_bytes, std::function<void()> body);
    // Joins the thread.
    ~SizedThread();
    SizedThread(const SizedThread&) = delete;
    SizedThread& operator=(const SizedThread&) = delete;

    void join();
    // pthread_t, or the Windows thread HANDLE, as an integer.
    std::uintptr_t native() const { return native_; }

private:
    std::uintptr_t native_ = 0;  // pthread_t, or a Windows thread HANDLE
    bool joinable_ = false;
};

}  // namespace tmhost

#endif
