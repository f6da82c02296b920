// A small HTTP/1.1 server on the loopback address, through Boost.Beast and Boost.Asio: what a
// local preview page needs, and no client can take it down or drive it unless it was given the
// address.
//
// Threads. run() is the I/O thread: it accepts and serves every connection with asynchronous
// reads, writes and timers, and never runs a handler. Handlers run on two pools of threads
// (HttpOptions: quick_threads, long_threads, is_quick); a request waits in its pool's queue while
// every thread of it is busy. A connection has one request in the server at a time (a pipelined
// next one is kept unread until the answer is out), so the queues hold at most one request a
// connection.
//
// Limits (HttpOptions): at most max_connections open at once, one more answered 503 and closed
// (closed unanswered while 64 such refusals are already going out); a failing accept (out of
// descriptors) waits a moment and tries again: nothing a client does ends the server. Timeouts
// for a request's header, for an idle kept-alive connection and for a write that does not
// progress. A target past max_target is answered 414, header fields past max_header_bytes 431, a
// body past max_body 413, a malformed request 400, a request still arriving at its timeout 408;
// the connection closes after each. A closed connection gives back its socket at once; one that
// closes after an answer first waits up to a second for the client to close (closing on its
// unread bytes would reset the connection, and the answer could be lost).
//
// Rules, applied to every request before any handler sees it (http_rules.h): exactly one Host
// header, 127.0.0.1:PORT or localhost:PORT in any case (400 for none or several, 421 for another
// name, against DNS rebinding); an Origin header, when there is one, http://127.0.0.1:PORT or
// http://localhost:PORT, and a Sec-Fetch-Site header, when there is one, same-origin or none
// (403 otherwise: a page of another site, or of another port of this machine, is refused).
// With HttpOptions::token set, a request carries the token as the query parameter token=TOKEN (on
// any path), as "Authorization: token TOKEN", or as the cookie tonemix-token-PORT=TOKEN, or is
// answered 403 (a line that never holds the token). The handler sees the target without its
// token parameters, and an answer to a request whose query had the right token sets the cookie
// (HttpOnly, SameSite=Strict), so the page's own later requests need no token in their address.
// No CORS header is ever sent, so no other site's script reads an answer.
//
// Ownership. The server owns its sockets, pools and threads; a handler owns nothing of the
// connection and keeps no reference to the request past its return (client_gone may be copied
// and asked later). The handler must outlive the server.
#ifndef TMHOST_HTTP_SERVER_H
#define TMHOST_HTTP_SERVER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "host/http/http_error.h"
#include "host/http/http_message.h"
#include "host/http/http_options.h"
#include "host/http/http_token.h"

namespace tmhost {

class HttpServer {
public:
    // Listens on 127.0.0.1:port; port 0 takes a free one. Raises the process's soft limit of open
    // files to its hard limit (where the system has one) and starts the pools' threads. Throws
    // HttpError: "port 8080: Address already in use".
    HttpServer(std::uint16_t port, HttpHandler handler);
    HttpServer(std::uint16_t port, HttpHandler handler, HttpOptions options);
    // Stops the server if it runs (run() must have returned, or never been called).
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t port() const;
    // The connections open now within max_connections (refused ones not counted); from any
    // thread.
    std::size_t open_connections() const;
    // max_connections as the server keeps it: lowered, where need be, to fit the process's
    // descriptor limit.
    std::size_t max_connections() const;

    // Serves on the calling thread until stop(), then returns once every connection has closed
    // and every handler has returned. Call once.
    void run();
    // From any thread, before or while run() runs. Stops accepting, closes every connection
    // that waits for or reads a request, answers 503 to requests still waiting for a pool
    // thread; handlers that run finish (on_stop is where to make them finish soon) and their
    // answers go out (within write_timeout each), with "Connection: close".
    void stop();
    // SIGINT and SIGTERM (Ctrl-C; on Windows, Ctrl-C and Ctrl-Break) stop the server while run()
    // runs, after calling on_stop on the I/O thread.
    void stop_on_signals(std::function<void()> on_stop = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tmhost

#endif
