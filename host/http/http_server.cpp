#include "host/http/http_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <exception>
#include <system_error>
#include <vector>

#if !defined(_WIN32)
#include <pthread.h>
#include <signal.h>
#endif

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include "host/http/connection.h"
#include "host/http/server_core.h"
#include "host/http/sized_thread.h"

namespace tmhost {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

// A failing accept (out of descriptors, mostly) is tried again after this, not in a busy loop.
constexpr std::chrono::milliseconds kAcceptRetry(100);
// Refusals being answered at once: past them a connection past the limit is closed unanswered.
constexpr std::size_t kMostRefusing = 64;

std::unique_ptr<ServerCore> core_for(HttpHandler handler, HttpOptions options) {
    try {
        return std::make_unique<ServerCore>(std::move(options), std::move(handler));
    } catch (const std::system_error& error) {
        throw HttpError(std::string("cannot start the server's threads: ") + error.what());
    }
}

}  // namespace

struct HttpServer::State {
    State(HttpHandler handler, HttpOptions options)
        : core(core_for(std::move(handler), std::move(options))),
          acceptor(core->io),
          retry(core->io) {}

    void accept();
    void on_stop();

    std::unique_ptr<ServerCore> core;
    tcp::acceptor acceptor;
    asio::steady_timer retry;
    std::unique_ptr<asio::signal_set> signals;
    std::function<void()> on_signal;
#if !defined(_WIN32)
    // SIGINT and SIGTERM are waited for by a thread of their own with sigwait, blocked in every
    // other thread of the server: no handler of the program's runs at a signal, which under an
    // emulator of 32-bit code (qemu-user) is not safe in a process of many threads.
    std::unique_ptr<SizedThread> signal_waiter;
    std::atomic<bool> signals_ended{false};
    sigset_t signal_set{};
    sigset_t mask_before{};
    void end_signal_waiter();
#endif
};

#if !defined(_WIN32)
void HttpServer::State::end_signal_waiter() {
    if (!signal_waiter) return;
    signals_ended = true;
    pthread_kill(static_cast<pthread_t>(signal_waiter->native()), SIGTERM);
    signal_waiter->join();
    signal_waiter.reset();
    pthread_sigmask(SIG_SETMASK, &mask_before, nullptr);
}
#endif

void HttpServer::State::accept() {
    acceptor.async_accept([this](const error_code& error, tcp::socket socket) {
        if (core->stopping) return;
        if (error) {
            if (error == asio::error::operation_aborted) return;
            retry.expires_after(kAcceptRetry);
            retry.async_wait([this](const error_code& waited) {
                if (!waited && !core->stopping) accept();
            });
            return;
        }
        const bool within = core->open < core->options.max_connections;
        if (within || core->refusing < kMostRefusing) {
            std::make_shared<Connection>(*core, std::move(socket), within)->start();
        }
        accept();
    });
}

void HttpServer::State::on_stop() {
    error_code ignored;
    acceptor.close(ignored);
    retry.cancel();
    if (signals) signals->cancel(ignored);
    std::vector<std::shared_ptr<Connection>> open;
    for (Connection* connection : core->connections) open.push_back(connection->shared_from_this());
    for (const std::shared_ptr<Connection>& connection : open) connection->stop();
}

HttpServer::HttpServer(std::uint16_t port, HttpHandler handler)
    : HttpServer(port, std::move(handler), HttpOptions()) {}

HttpServer::HttpServer(std::uint16_t port, HttpHandler handler, HttpOptions options)
    : state_(new State(std::move(handler), std::move(options))) {
    error_code error;
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
    tcp::acceptor& acceptor = state_->acceptor;
    acceptor.open(endpoint.protocol(), error);
#if !defined(_WIN32)
    // A port whose last connections still linger (TIME_WAIT) after a stop can be taken again at
    // once; a port that another socket listens on still cannot. Windows gives this option
    // another meaning (taking a port from whoever listens on it), so it is left alone there.
    if (!error) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
#endif
    if (!error) acceptor.bind(endpoint, error);
    if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) throw HttpError("port " + std::to_string(port) + ": " + error.message());
    state_->core->port = acceptor.local_endpoint().port();
}

HttpServer::~HttpServer() {
    stop();
#if !defined(_WIN32)
    state_->end_signal_waiter();
#endif
    // Queued work of a run() that never ran (the stop itself) goes with the I/O context.
}

std::uint16_t HttpServer::port() const { return state_->core->port; }

std::size_t HttpServer::open_connections() const { return state_->core->open.load(); }

std::size_t HttpServer::max_connections() const { return state_->core->options.max_connections; }

void HttpServer::run() {
    state_->accept();
    // Nothing a connection does throws by design; should memory run out while one is served,
    // that connection is lost and the others are served on.
    for (;;) {
        try {
            state_->core->io.run();
            return;
        } catch (const std::exception&) {
        }
    }
}

void HttpServer::stop() {
    if (state_->core->stopping.exchange(true)) return;
    asio::post(state_->core->io, [state = state_.get()] { state->on_stop(); });
}

void HttpServer::stop_on_signals(std::function<void()> on_stop) {
    state_->on_signal = std::move(on_stop);
#if defined(_WIN32)
    state_->signals = std::make_unique<asio::signal_set>(state_->core->io, SIGINT, SIGTERM);
#if defined(SIGBREAK)
    state_->signals->add(SIGBREAK);
#endif
    state_->signals->async_wait([this](const error_code& error, int) {
        if (error) return;
        if (state_->on_signal) state_->on_signal();
        stop();
    });
#else
    if (state_->signal_waiter) return;
    State& state = *state_;
    sigemptyset(&state.signal_set);
    sigaddset(&state.signal_set, SIGINT);
    sigaddset(&state.signal_set, SIGTERM);
    // Blocked in this thread, which runs run(), and so in the threads it starts after; the pool
    // threads block every signal from their start.
    pthread_sigmask(SIG_BLOCK, &state.signal_set, &state.mask_before);
    state.signal_waiter = std::make_unique<SizedThread>(64 * 1024, [this, &state] {
        for (;;) {
            int signal = 0;
            if (sigwait(&state.signal_set, &signal) != 0) continue;
            if (state.signals_ended) return;
            asio::post(state.core->io, [this] {
                if (state_->on_signal) state_->on_signal();
                stop();
            });
            return;
        }
    });
#endif
}

}  // namespace tmhost
