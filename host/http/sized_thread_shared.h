// What the shared half of SizedThread (sized_thread.cpp) and each system's half
// (sized_thread_posix.cpp, sized_thread_windows.cpp) use of one another.
#ifndef TMHOST_SIZED_THREAD_SHARED_H
#define TMHOST_SIZED_THREAD_SHARED_H

#include <cstddef>
#include <cstdint>

namespace tmhost::threads {

// On the new thread: runs the body `started` points to, then deletes it.
void run_body(void* started);

// The system's half: a thread that calls run_body(started), as its native handle; throws
// std::system_error when the system makes none.
std::uintptr_t start_thread(std::size_t stack_bytes, void* started);
void join_thread(std::uintptr_t native);

}  // namespace tmhost::threads

#endif
