// One client's connection, served on the I/O thread from its first byte to its close: requests
// read within their limits and timeouts, the rules applied, the handler run on a pool, the answer
// written, then the next request or the close. Inside the http layer only.
#ifndef TMHOST_CONNECTION_H
#define TMHOST_CONNECTION_H

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/serializer.hpp>
#include <boost/beast/http/string_body.hpp>

#include "host/http/server_core.h"

namespace tmhost {

class Connection : public std::enable_shared_from_this<Connection> {
public:
    // `counted`: within max_connections; otherwise the connection is only answered 503.
    Connection(ServerCore& core, boost::asio::ip::tcp::socket socket, bool counted);
    ~Connection();

    // Both on the I/O thread.
    void start();
    // The server stops: a connection that waits for a request, or reads one, closes now; one
    // whose handler runs or whose answer goes out closes after it.
    void stop();

private:
    enum class Phase { reading, handling, writing, lingering, closed };
    struct Outgoing;

    void read();
    void on_read(const boost::system::error_code& error, std::size_t got);
    void parse();
    bool within_limits(const boost::system::error_code& error);
    void dispatch();
    void answer(HttpResponse response);
    void refuse(int status, std::string body);
    void write();
    void on_write(const boost::system::error_code& error);
    void next_request();
    void close();
    void arm(std::chrono::steady_clock::duration after);
    void disarm();
    void on_timeout();

    ServerCore& core_;
    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer timer_;
    unsigned timer_generation_ = 0;
    const bool counted_;
    Phase phase_ = Phase::reading;

    // Reads land in chunk_, then join buffer_: buffer_ changes only between reads, and the
    // bytes of a pipelined request that come while a handler runs are kept there.
    std::unique_ptr<char[]> chunk_;
    std::size_t chunk_size_ = 0;
    bool reading_ = false;
    bool peer_done_ = false;  // the client has closed its sending side
    boost::beast::flat_buffer buffer_;

    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    std::size_t header_bytes_ = 0;  // of the request being read, through its header
    bool header_done_ = false;
    bool got_byte_ = false;      // of the request being read
    bool header_timer_ = false;  // the timer counts header_timeout, not idle_timeout

    unsigned version_ = 11;
    bool keep_alive_ = false;
    bool close_after_ = false;  // the answer is a refusal of what was read: no next request
    bool set_cookie_ = false;
    std::shared_ptr<std::atomic<bool>> gone_;
    std::unique_ptr<Outgoing> outgoing_;
};

}  // namespace tmhost

#endif
