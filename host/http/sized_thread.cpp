#include "host/http/sized_thread.h"

#include <cerrno>
#include <exception>
#include <memory>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>

#include <process.h>
#else
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#endif

namespace tmhost {

namespace {

using Body = std::function<void()>;

void run_body(void* started) {
    const std::unique_ptr<Body> body(static_cast<Body*>(started));
    try {
        (*body)();
    } catch (...) {
        std::terminate();
    }
}

#if defined(_WIN32)
unsigned __stdcall thread_entry(void* started) {
    run_body(started);
    return 0;
}
#else
void* thread_entry(void* started) {
    run_body(started);
    return nullptr;
}
static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t), "pthread_t kept as an integer");
#endif

}  // namespace

SizedThread::SizedThread(std::size_t stack_bytes, std::function<void()> body) {
    auto started = std::make_unique<Body>(std::move(body));
#if defined(_WIN32)
    // A reservation, not a commitment: the pages are committed as the stack grows.
    const std::uintptr_t handle =
        _beginthreadex(nullptr, static_cast<unsigned>(stack_bytes), thread_entry, started.get(),
                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (handle == 0) throw std::system_error(errno, std::generic_category(), "_beginthreadex");
    native_ = handle;
#else
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_attr_init");
    const std::size_t least = PTHREAD_STACK_MIN;
    error = pthread_attr_setstacksize(&attributes, stack_bytes < least ? least : stack_bytes);
    pthread_t thread{};
    // The thread starts with every signal blocked, so that the process's signals (Ctrl-C, a
    // service manager's SIGTERM) reach the thread that waits for them, not a handler's.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    if (error == 0) error = pthread_create(&thread, &attributes, thread_entry, started.get());
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    pthread_attr_destroy(&attributes);
    if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_create");
    native_ = static_cast<std::uintptr_t>(thread);
#endif
    started.release();  // the thread owns it now
    joinable_ = true;
}

SizedThread::~SizedThread() { join(); }

void SizedThread::join() {
    if (!joinable_) return;
    joinable_ = false;
#if defined(_WIN32)
    const HANDLE handle = reinterpret_cast<HANDLE>(native_);
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
#else
    pthread_join(static_cast<pthread_t>(native_), nullptr);
#endif
}

}  // namespace tmhost
