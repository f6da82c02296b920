#include <cstdint>
#include <system_error>

#include <limits.h>
#include <pthread.h>
#include <signal.h>

#include "host/http/sized_thread_shared.h"

namespace tmhost {

namespace {

void* thread_entry(void* started) {
    threads::run_body(started);
    return nullptr;
}
static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t), "pthread_t kept as an integer");

}  // namespace

std::uintptr_t threads::start_thread(std::size_t stack_bytes, void* started) {
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
    if (error == 0) error = pthread_create(&thread, &attributes, thread_entry, started);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    pthread_attr_destroy(&attributes);
    if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_create");
    return static_cast<std::uintptr_t>(thread);
}

void threads::join_thread(std::uintptr_t native) {
    pthread_join(static_cast<pthread_t>(native), nullptr);
}

}  // namespace tmhost
