// The limits, timeouts, worker pools and token of an HttpServer. The defaults suit a local page
// served to one user; tests shrink them.
#ifndef TMHOST_HTTP_OPTIONS_H
#define TMHOST_HTTP_OPTIONS_H

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "host/http/http_message.h"

namespace tmhost {

struct HttpOptions {
    // Connections open at once; one more is answered 503 and closed. The server lowers it to fit
    // the process's file descriptor limit, with room to spare for the program's own files.
    std::size_t max_connections = 4096;

    // From a connection's start, or from the first byte after a kept-alive answer, until the
    // request's header and body (if it has one) are in. A request half sent by then is answered
    // 408; a connection on which nothing came is closed without a word.
    std::chrono::milliseconds header_timeout{30'000};
    // A kept-alive connection on which no next request starts within this is closed.
    std::chrono::milliseconds idle_timeout{120'000};
    // A write of an answer that makes no progress for this long ends the connection; stop()
    // waits no longer than this for an answer to go out.
    std::chrono::milliseconds write_timeout{30'000};

    // A request target longer than this is answered 414; header fields (the lines after the
    // request line, through the empty line) longer than this 431; a body longer than this 413.
    // The connection closes after each.
    std::size_t max_target = 8 * 1024;
    std::size_t max_header_bytes = 16 * 1024;
    std::size_t max_body = kMostRequestBody;

    // Handlers run on two pools of threads: requests that is_quick calls quick on the quick pool,
    // every other on the long one, so that quick answers never wait behind long ones. A request
    // past a pool's threads waits in its queue (each connection has one request in the server at
    // a time, so the queues are bounded by max_connections). is_quick is called on the I/O
    // thread, with the request the handler will get: it must decide at once and never block;
    // without it every request is long.
    std::size_t quick_threads = 4;
    std::size_t long_threads = 16;
    std::function<bool(const HttpRequest&)> is_quick;
    // The stack of each pool thread: a 32-bit process has room for few threads of Linux's
    // default 8 MiB. 2 MiB is what a Windows build's threads have by default.
    std::size_t worker_stack_bytes = 2u << 20;

    // When set, a request must carry this token (see http_server.h); random_token() makes one.
    std::optional<std::string> token;
};

}  // namespace tmhost

#endif
