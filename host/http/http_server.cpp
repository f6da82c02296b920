#include "host/http/http_server.h"

#include <chrono>
#include <exception>
#include <system_error>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>

#include "host/http/connection.h"
#include "host/http/http_server_state.h"
#include "host/http/server_core.h"

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

HttpServer::State::State(HttpHandler handler, HttpOptions options)
    : core(core_for(std::move(handler), std::move(options))), acceptor(core->io), retry(core->io) {}

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
    if (!error) allow_quick_reuse(acceptor, error);
    if (!error) acceptor.bind(endpoint, error);
    if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) throw HttpError("port " + std::to_string(port) + ": " + error.message());
    state_->core->port = acceptor.local_endpoint().port();
}

HttpServer::~HttpServer() {
    stop();
    state_->end_signal_waiter();
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

}  // namespace tmhost
