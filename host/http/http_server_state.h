// What the shared half of HttpServer (http_server.cpp) and each system's half
// (http_server_posix.cpp, http_server_windows.cpp) hold together: the server's state.
#ifndef TMHOST_HTTP_SERVER_STATE_H
#define TMHOST_HTTP_SERVER_STATE_H

#include <functional>
#include <memory>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include "host/http/http_server.h"
#include "host/http/server_core.h"

namespace tmhost {

// How the system's half waits for SIGINT and SIGTERM, where it needs more than `signals`; ended
// by the system's half, which alone knows it.
struct SignalWaiting;
struct EndSignalWaiting {
    void operator()(SignalWaiting* waiting) const;
};

struct HttpServer::State {
    State(HttpHandler handler, HttpOptions options);

    void accept();
    void on_stop();
    // The system's half: the signals no longer waited for, once the server has stopped.
    void end_signal_waiter();

    std::unique_ptr<ServerCore> core;
    boost::asio::ip::tcp::acceptor acceptor;
    boost::asio::steady_timer retry;
    std::unique_ptr<boost::asio::signal_set> signals;
    std::function<void()> on_signal;
    std::unique_ptr<SignalWaiting, EndSignalWaiting> waiting;
};

// The system's half: the acceptor set to take its port again at once after a stop, where the
// system means that by it.
void allow_quick_reuse(boost::asio::ip::tcp::acceptor& acceptor, boost::system::error_code& error);

}  // namespace tmhost

#endif
