#include "host/http/sized_thread.h"

#include <exception>
#include <memory>

#include "host/http/sized_thread_shared.h"

namespace tmhost {

namespace {

using Body = std::function<void()>;

}  // namespace

void threads::run_body(void* started) {
    const std::unique_ptr<Body> body(static_cast<Body*>(started));
    try {
        (*body)();
    } catch (...) {
        std::terminate();
    }
}

SizedThread::SizedThread(std::size_t stack_bytes, std::function<void()> body) {
    auto started = std::make_unique<Body>(std::move(body));
    native_ = threads::start_thread(stack_bytes, started.get());
    started.release();  // the thread owns it now
    joinable_ = true;
}

SizedThread::~SizedThread() { join(); }

void SizedThread::join() {
    if (!joinable_) return;
    joinable_ = false;
    threads::join_thread(native_);
}

}  // namespace tmhost
