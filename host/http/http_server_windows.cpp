#include <csignal>

#include "host/http/http_server.h"
#include "host/http/http_server_state.h"

namespace tmhost {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// asio's signal set (State::signals) does all the waiting here.
struct SignalWaiting {};

void EndSignalWaiting::operator()(SignalWaiting* waiting) const { delete waiting; }

void HttpServer::State::end_signal_waiter() {}

// Windows gives the option of reusing an address another meaning (taking a port from whoever
// listens on it), so it is left alone.
void allow_quick_reuse(tcp::acceptor&, boost::system::error_code&) {}

void HttpServer::stop_on_signals(std::function<void()> on_stop) {
    state_->on_signal = std::move(on_stop);
    state_->signals = std::make_unique<asio::signal_set>(state_->core->io, SIGINT, SIGTERM);
    state_->signals->add(SIGBREAK);
    state_->signals->async_wait([this](const boost::system::error_code& error, int) {
        if (error) return;
        if (state_->on_signal) state_->on_signal();
        stop();
    });
}

}  // namespace tmhost
