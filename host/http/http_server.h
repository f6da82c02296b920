// A small HTTP/1.1 server on the loopback address, through Boost.Beast: what a local preview page
// needs and no more. It answers only requests whose Host header names the address it listens on
// (127.0.0.1 or localhost, with its port), so that a page elsewhere cannot reach it through a
// name that resolves here; it sends no CORS headers and reads no request body beyond a limit.
#ifndef TMHOST_HTTP_SERVER_H
#define TMHOST_HTTP_SERVER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tmhost {

struct HttpRequest {
    std::string method;  // "GET"
    std::string target;  // "/api/render?width=64", as sent
    std::string body;
    // Whether the client has closed its connection, so that no one waits for the answer. Asked
    // only on the handler's own thread, while the handler runs.
    std::function<bool()> client_gone;
};

struct HttpResponse {
    int status = 200;
    std::string content_type = "text/plain; charset=utf-8";
    std::string disposition;  // Content-Disposition, when not empty
    std::string body;
};

// Called on the connection's own thread, several at once for several clients.
using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

// Why the server cannot listen, in one line: "port 8080: Address already in use".
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::size_t kMostRequestBody = 1 << 20;

class HttpServer {
public:
    // Listens on 127.0.0.1:port; port 0 takes a free one. Throws HttpError.
    HttpServer(std::uint16_t port, HttpHandler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t port() const;

    // Accepts connections until stop(), each served on a thread of its own; returns once every
    // connection has ended.
    void run();
    // From any thread, or from a signal's handler through stop_on_signals. Closes every open
    // connection for reading, so that a client keeping one alive does not keep the server; a
    // handler that runs finishes (on_stop is where to make it finish soon).
    void stop();
    // SIGINT and SIGTERM (Ctrl-C; on Windows, Ctrl-C and Ctrl-Break) stop the server while run()
    // runs, after calling on_stop.
    void stop_on_signals(std::function<void()> on_stop = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tmhost

#endif
