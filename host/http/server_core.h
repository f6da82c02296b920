// What every connection of a server shares: the I/O context, the options, the handler and its
// pools, the counts. Inside the http layer only.
#ifndef TMHOST_SERVER_CORE_H
#define TMHOST_SERVER_CORE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>

#include <boost/asio/io_context.hpp>

#include "host/http/http_message.h"
#include "host/http/http_options.h"
#include "host/http/worker_pool.h"

namespace tmhost {

class Connection;

struct ServerCore {
    ServerCore(HttpOptions options, HttpHandler handler);

    // The handler's answer; an exception from it is a 500 with its message, and a request that
    // waited for a thread while the server stopped is a 503 that no handler sees.
    HttpResponse answer(const HttpRequest& request) const;

    boost::asio::io_context io;
    const HttpOptions options;  // max_connections within the descriptor limit
    const HttpHandler handler;
    std::uint16_t port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<std::size_t> open{0};  // connections within the limit whose socket is open

    // On the I/O thread only.
    std::size_t refusing = 0;                     // connections past the limit being answered 503
    std::unordered_set<Connection*> connections;  // every open one, refused ones too

    WorkerPool quick;
    WorkerPool slow;
};

}  // namespace tmhost

#endif
