#include <atomic>
#include <csignal>

#include <pthread.h>
#include <signal.h>

#include <boost/asio/post.hpp>

#include "host/http/http_server.h"
#include "host/http/http_server_state.h"
#include "host/http/sized_thread.h"

namespace tmhost {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// SIGINT and SIGTERM are waited for by a thread of their own with sigwait, blocked in every
// other thread of the server: no handler of the program's runs at a signal, which under an
// emulator of 32-bit code (qemu-user) is not safe in a process of many threads.
struct SignalWaiting {
    std::unique_ptr<SizedThread> signal_waiter;
    std::atomic<bool> signals_ended{false};
    sigset_t signal_set{};
    sigset_t mask_before{};
};

void EndSignalWaiting::operator()(SignalWaiting* waiting) const { delete waiting; }

void HttpServer::State::end_signal_waiter() {
    if (!waiting || !waiting->signal_waiter) return;
    waiting->signals_ended = true;
    pthread_kill(static_cast<pthread_t>(waiting->signal_waiter->native()), SIGTERM);
    waiting->signal_waiter->join();
    waiting->signal_waiter.reset();
    pthread_sigmask(SIG_SETMASK, &waiting->mask_before, nullptr);
}

// A port whose last connections still linger (TIME_WAIT) after a stop can be taken again at
// once; a port that another socket listens on still cannot.
void allow_quick_reuse(tcp::acceptor& acceptor, boost::system::error_code& error) {
    acceptor.set_option(tcp::acceptor::reuse_address(true), error);
}

void HttpServer::stop_on_signals(std::function<void()> on_stop) {
    state_->on_signal = std::move(on_stop);
    if (!state_->waiting) state_->waiting.reset(new SignalWaiting);
    SignalWaiting& waiting = *state_->waiting;
    if (waiting.signal_waiter) return;
    sigemptyset(&waiting.signal_set);
    sigaddset(&waiting.signal_set, SIGINT);
    sigaddset(&waiting.signal_set, SIGTERM);
    // Blocked in this thread, which runs run(), and so in the threads it starts after; the pool
    // threads block every signal from their start.
    pthread_sigmask(SIG_BLOCK, &waiting.signal_set, &waiting.mask_before);
    waiting.signal_waiter = std::make_unique<SizedThread>(64 * 1024, [this, &waiting] {
        for (;;) {
            int signal = 0;
            if (sigwait(&waiting.signal_set, &signal) != 0) continue;
            if (waiting.signals_ended) return;
            asio::post(state_->core->io, [this] {
                if (state_->on_signal) state_->on_signal();
                stop();
            });
            return;
        }
    });
}

}  // namespace tmhost
