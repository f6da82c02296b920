#include "host/http/http_server.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

namespace tmhost {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

struct HttpServer::State {
    asio::io_context io;
    tcp::acceptor acceptor{io};
    // Signals are waited for on a context and a thread of their own, ended with the server.
    asio::io_context signal_io;
    std::unique_ptr<asio::signal_set> signals;
    std::thread signal_thread;
    HttpHandler handler;
    std::atomic<bool> stopping{false};
    std::function<void()> on_stop;
    struct Connection {
        std::thread thread;
        std::shared_ptr<tcp::socket> socket;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::mutex connections_mutex;
    std::vector<Connection> connections;

    // Joins the threads of the connections that have ended, or of all of them (waiting for
    // them to end); called at every accept, so that a server running for days keeps no thread
    // of every client it had.
    void join_connections(bool all) {
        std::vector<Connection> ended;
        {
            const std::lock_guard<std::mutex> lock(connections_mutex);
            for (auto it = connections.begin(); it != connections.end();) {
                if (all || *it->ended) {
                    ended.push_back(std::move(*it));
                    it = connections.erase(it);
                } else {
                    ++it;
                }
            }
        }
        // Joined before its socket goes: the thread's last use of the socket comes first.
        for (Connection& connection : ended) {
            if (connection.thread.joinable()) connection.thread.join();
        }
    }
};

namespace {

// The Host header a browser sends for this server: the address or "localhost", with the port.
bool names_this_server(const std::string& host, std::uint16_t port) {
    const std::string suffix = ":" + std::to_string(port);
    return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

// A look at the socket that takes nothing from it: closed when the peer's end of the stream (or a
// reset) is all there is to read.
bool closed_by_peer(tcp::socket& socket) {
    beast::error_code error;
    socket.non_blocking(true, error);
    if (error) return false;
    char next = 0;
    const std::size_t got =
        socket.receive(asio::buffer(&next, 1), tcp::socket::message_peek, error);
    beast::error_code ignored;
    socket.non_blocking(false, ignored);
    if (error == asio::error::would_block || error == asio::error::try_again) return false;
    return error || got == 0;
}

void serve_connection(tcp::socket& socket, const HttpHandler& handler, std::uint16_t port) {
    beast::error_code error;
    beast::flat_buffer buffer;
    for (;;) {
        http::request_parser<http::string_body> parser;
        parser.body_limit(kMostRequestBody);
        http::read(socket, buffer, parser, error);
        if (error) break;
        const http::request<http::string_body>& request = parser.get();
        HttpResponse answer;
        const std::string host(request[http::field::host]);
        if (!names_this_server(host, port)) {
            answer.status = 421;
            answer.body =
                "this server answers only requests for 127.0.0.1:" + std::to_string(port) +
                " or localhost:" + std::to_string(port) + "\n";
        } else {
            HttpRequest asked;
            asked.method = std::string(request.method_string());
            asked.target = std::string(request.target());
            asked.body = request.body();
            asked.client_gone = [&socket] { return closed_by_peer(socket); };
            try {
                answer = handler(asked);
            } catch (const std::exception& failure) {
                answer.status = 500;
                answer.body = std::string(failure.what()) + "\n";
            }
        }
        http::response<http::string_body> response{static_cast<http::status>(answer.status),
                                                   request.version()};
        response.set(http::field::content_type, answer.content_type);
        response.set(http::field::cache_control, "no-store");
        if (!answer.disposition.empty()) {
            response.set(http::field::content_disposition, answer.disposition);
        }
        response.keep_alive(request.keep_alive());
        response.body() = std::move(answer.body);
        response.prepare_payload();
        http::write(socket, response, error);
        if (error || !response.keep_alive()) break;
    }
    socket.shutdown(tcp::socket::shutdown_both, error);
}

}  // namespace

HttpServer::HttpServer(std::uint16_t port, HttpHandler handler) : state_(new State) {
    state_->handler = std::move(handler);
    beast::error_code error;
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
    state_->acceptor.open(endpoint.protocol(), error);
    if (!error) state_->acceptor.bind(endpoint, error);
    if (!error) state_->acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) throw HttpError("port " + std::to_string(port) + ": " + error.message());
}

HttpServer::~HttpServer() {
    stop();
    state_->signal_io.stop();
    if (state_->signal_thread.joinable()) state_->signal_thread.join();
    state_->join_connections(true);
}

std::uint16_t HttpServer::port() const { return state_->acceptor.local_endpoint().port(); }

void HttpServer::run() {
    const std::uint16_t listening = port();
    while (!state_->stopping) {
        beast::error_code error;
        tcp::socket socket(state_->io);
        state_->acceptor.accept(socket, error);
        if (state_->stopping) break;
        state_->join_connections(false);
        if (error) continue;
        auto connected = std::make_shared<tcp::socket>(std::move(socket));
        auto ended = std::make_shared<std::atomic<bool>>(false);
        const HttpHandler& handler = state_->handler;
        const std::lock_guard<std::mutex> lock(state_->connections_mutex);
        // A connection that comes as the server stops would not be shut by stop(): it is let go.
        if (state_->stopping) break;
        state_->connections.push_back({std::thread([connected, ended, &handler, listening] {
                                           serve_connection(*connected, handler, listening);
                                           *ended = true;
                                       }),
                                       connected, ended});
    }
    state_->join_connections(true);
}

void HttpServer::stop() {
    if (state_->stopping.exchange(true)) return;
    // A blocking accept wakes for a connection, not for a close from another thread: the server
    // connects to itself, and the loop sees that it is stopping.
    beast::error_code error;
    tcp::socket wake(state_->io);
    wake.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port()), error);
    // A connection kept alive waits in a read for its next request: closing its reading side
    // ends that read, and an answer being written still goes out.
    const std::lock_guard<std::mutex> lock(state_->connections_mutex);
    for (State::Connection& connection : state_->connections) {
        connection.socket->shutdown(tcp::socket::shutdown_receive, error);
    }
}

void HttpServer::stop_on_signals(std::function<void()> on_stop) {
    state_->on_stop = std::move(on_stop);
    state_->signals = std::make_unique<asio::signal_set>(state_->signal_io, SIGINT, SIGTERM);
    state_->signals->async_wait([this](const beast::error_code& error, int) {
        if (error) return;
        if (state_->on_stop) state_->on_stop();
        stop();
    });
    state_->signal_thread = std::thread([this] { state_->signal_io.run(); });
}

}  // namespace tmhost
