#include "host/http/connection.h"

#include <cstring>
#include <utility>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/write.hpp>

#include "host/http/answer_message.h"
#include "host/http/http_rules.h"

namespace tmhost {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using boost::system::error_code;

namespace {

// A read for a request that has not begun is small: thousands of idle connections each hold one.
constexpr std::size_t kIdleRead = 1024;
constexpr std::size_t kRead = 4096;
// The method, the spaces and "HTTP/1.1\r\n" around a request's target.
constexpr std::size_t kLineBesidesTarget = 64;
// How long a closing connection waits for the client to close after the last answer: closing
// with the client's bytes unread would reset the connection, and the answer could be lost.
constexpr std::chrono::seconds kLinger(1);

std::vector<std::string> values_of(const http::request<http::string_body>& message,
                                   beast::string_view name) {
    std::vector<std::string> values;
    const auto range = message.equal_range(name);
    for (auto field = range.first; field != range.second; ++field) {
        values.emplace_back(field->value());
    }
    return values;
}

RequestFacts facts_of(const http::request<http::string_body>& message) {
    RequestFacts facts;
    facts.hosts = values_of(message, "Host");
    facts.origins = values_of(message, "Origin");
    facts.fetch_sites = values_of(message, "Sec-Fetch-Site");
    facts.authorizations = values_of(message, "Authorization");
    facts.cookies = values_of(message, "Cookie");
    facts.target = std::string(message.target());
    return facts;
}

}  // namespace

struct Connection::Outgoing {
    explicit Outgoing(AnswerMessage answer) : message(std::move(answer)), serializer(message) {}
    AnswerMessage message;
    http::serializer<false, http::string_body> serializer;
};

Connection::Connection(ServerCore& core, asio::ip::tcp::socket socket, bool counted)
    : core_(core),
      socket_(std::move(socket)),
      timer_(core.io),
      counted_(counted),
      gone_(std::make_shared<std::atomic<bool>>(false)) {}

Connection::~Connection() = default;

void Connection::start() {
    if (counted_) {
        ++core_.open;
    } else {
        ++core_.refusing;
    }
    core_.connections.insert(this);
    if (!counted_) {
        refuse(503, "too many connections\n");
        return;
    }
    next_request();
    // The first request's header counts from the connection's start, not from its first byte.
    header_timer_ = true;
    arm(core_.options.header_timeout);
    read();
}

void Connection::stop() {
    if (phase_ == Phase::reading) close();
}

void Connection::read() {
    if (reading_ || peer_done_ || phase_ == Phase::closed) return;
    // While a handler runs, the next request's bytes are kept, up to one header's worth.
    const bool waiting = phase_ == Phase::handling || phase_ == Phase::writing;
    const std::size_t most_kept =
        core_.options.max_target + kLineBesidesTarget + core_.options.max_header_bytes;
    if (waiting && buffer_.size() >= most_kept) return;
    const std::size_t size = (phase_ == Phase::reading && !got_byte_) ? kIdleRead : kRead;
    if (chunk_size_ != size) {
        chunk_.reset(new char[size]);
        chunk_size_ = size;
    }
    reading_ = true;
    socket_.async_read_some(asio::buffer(chunk_.get(), chunk_size_),
                            [self = shared_from_this()](const error_code& error, std::size_t got) {
                                self->on_read(error, got);
                            });
}

void Connection::on_read(const error_code& error, std::size_t got) {
    reading_ = false;
    if (phase_ == Phase::closed) return;
    if (got > 0 && phase_ != Phase::lingering) {
        std::memcpy(buffer_.prepare(got).data(), chunk_.get(), got);
        buffer_.commit(got);
    }
    if (error) {
        gone_->store(true);
        peer_done_ = error == asio::error::eof;
        // A client that only stopped sending still gets the answer its handler is making; a
        // reset one gets nothing, and its socket is given back now.
        const bool answer_pending = phase_ == Phase::handling || phase_ == Phase::writing;
        if (!(answer_pending && peer_done_)) close();
        return;
    }
    if (phase_ == Phase::reading) {
        got_byte_ = true;
        if (!header_timer_) {
            header_timer_ = true;
            arm(core_.options.header_timeout);
        }
        parse();
        return;
    }
    read();
}

void Connection::parse() {
    while (phase_ == Phase::reading && buffer_.size() > 0) {
        error_code error;
        const std::size_t used = parser_->put(buffer_.data(), error);
        buffer_.consume(used);
        if (!header_done_) header_bytes_ += used;
        if (error == http::error::need_more) {
            if (!within_limits({})) return;
            break;
        }
        if (!within_limits(error)) return;
        if (parser_->is_done()) {
            dispatch();
            return;
        }
    }
    if (phase_ == Phase::reading) read();
}

// Refuses the request (and answers false) when what was read of it is past a limit or malformed.
// The parser takes a header's request line only once the whole header is in, so until then the
// line is measured in the bytes buffered.
bool Connection::within_limits(const error_code& error) {
    const HttpOptions& options = core_.options;
    header_done_ = parser_->is_header_done();
    const beast::string_view parsed = parser_->get().target();
    std::size_t target = parsed.size();
    std::size_t line = 0;  // the request line with its CRLF, once known
    if (!parsed.empty()) {
        line =
            parser_->get().method_string().size() + parsed.size() + std::strlen("  HTTP/1.1\r\n");
    } else if (!header_done_) {
        const beast::string_view buffered(static_cast<const char*>(buffer_.data().data()),
                                          buffer_.size());
        const std::size_t end = buffered.find("\r\n");
        const beast::string_view start = buffered.substr(0, end);
        // The target runs from the first space to the last; with no second space yet, to the
        // end of what came.
        const std::size_t first_space = start.find(' ');
        if (first_space != beast::string_view::npos) {
            const std::size_t last_space = start.rfind(' ');
            const std::size_t target_end = last_space == first_space ? start.size() : last_space;
            target = target_end - first_space - 1;
        }
        if (end != beast::string_view::npos) line = end + 2;
        if (end == beast::string_view::npos &&
            buffered.size() > options.max_target + kLineBesidesTarget) {
            target = buffered.size();
        }
    }
    if (target > options.max_target || (error == http::error::header_limit && line == 0)) {
        refuse(414, "the request's target is longer than " + std::to_string(options.max_target) +
                        " bytes\n");
        return false;
    }
    const std::size_t seen = header_bytes_ + (header_done_ ? 0 : buffer_.size());
    if (error == http::error::header_limit ||
        (line != 0 && seen > line + options.max_header_bytes)) {
        refuse(431, "the request's header fields are longer than " +
                        std::to_string(options.max_header_bytes) + " bytes\n");
        return false;
    }
    if (error == http::error::body_limit) {
        refuse(413, "the request's body is longer than " + std::to_string(options.max_body) +
                        " bytes\n");
        return false;
    }
    if (error) {
        refuse(400, "malformed request: " + error.message() + "\n");
        return false;
    }
    return true;
}

void Connection::dispatch() {
    http::request<http::string_body> message = parser_->release();
    parser_.reset();
    disarm();
    version_ = message.version();
    keep_alive_ = message.keep_alive();
    phase_ = Phase::handling;
    read();  // watches for the client going while the handler runs

    const RuleVerdict verdict = apply_rules(facts_of(message), core_.port, core_.options.token);
    if (verdict.status != 0) {
        HttpResponse refusal;
        refusal.status = verdict.status;
        refusal.body = verdict.body;
        answer(std::move(refusal));
        return;
    }
    set_cookie_ = verdict.set_cookie;
    HttpRequest request;
    request.method = std::string(message.method_string());
    request.target = verdict.target;
    request.body = std::move(message.body());
    request.client_gone = [gone = gone_] { return gone->load(); };

    bool quick = false;
    if (core_.options.is_quick) {
        try {
            quick = core_.options.is_quick(request);
        } catch (...) {
            quick = false;  // a predicate that fails sends the request where any may wait
        }
    }
    WorkerPool& pool = quick ? core_.quick : core_.slow;
    // The guard keeps the I/O thread's run() going while the handler runs, whatever happens to
    // the connection meanwhile.
    auto guard = asio::make_work_guard(core_.io);
    pool.post([self = shared_from_this(), request = std::move(request), guard] {
        HttpResponse response = self->core_.answer(request);
        asio::post(self->core_.io, [self, response = std::move(response)]() mutable {
            self->answer(std::move(response));
        });
    });
}

void Connection::answer(HttpResponse response) {
    if (phase_ == Phase::closed) return;
    const bool keep_alive = keep_alive_ && !close_after_ && !peer_done_ && !core_.stopping;
    const std::string cookie =
        set_cookie_ && core_.options.token ? token_cookie(core_.port, *core_.options.token) : "";
    outgoing_ = std::make_unique<Outgoing>(
        answer_message(std::move(response), version_, keep_alive, cookie));
    phase_ = Phase::writing;
    write();
}

// Answers what was read so far, then closes: nothing after it on this connection can be
// trusted to start a request.
void Connection::refuse(int status, std::string body) {
    parser_.reset();
    close_after_ = true;
    HttpResponse refusal;
    refusal.status = status;
    refusal.body = std::move(body);
    answer(std::move(refusal));
}

void Connection::write() {
    arm(core_.options.write_timeout);
    http::async_write_some(socket_, outgoing_->serializer,
                           [self = shared_from_this()](const error_code& error, std::size_t) {
                               self->on_write(error);
                           });
}

void Connection::on_write(const error_code& error) {
    if (phase_ == Phase::closed || error) {
        close();
        outgoing_.reset();
        return;
    }
    if (!outgoing_->serializer.is_done()) {
        write();
        return;
    }
    const bool keep_alive = outgoing_->message.keep_alive() && !core_.stopping;
    outgoing_.reset();
    disarm();
    set_cookie_ = false;
    if (keep_alive) {
        next_request();
        parse();  // a pipelined request may be here already
        return;
    }
    error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    if (peer_done_) {
        close();
        return;
    }
    phase_ = Phase::lingering;
    buffer_.clear();
    arm(kLinger);
    read();
}

void Connection::next_request() {
    phase_ = Phase::reading;
    parser_.emplace();
    const HttpOptions& options = core_.options;
    // The parser's own limit is a last resort; within_limits() says which limit a request broke.
    const std::size_t beyond = options.max_target + kLineBesidesTarget + options.max_header_bytes;
    parser_->header_limit(static_cast<std::uint32_t>(beyond + 1));
    parser_->body_limit(options.max_body);
    header_bytes_ = 0;
    header_done_ = false;
    got_byte_ = buffer_.size() > 0;
    header_timer_ = got_byte_;
    if (got_byte_) {
        arm(options.header_timeout);
    } else {
        buffer_.shrink_to_fit();  // an idle connection keeps no buffer
        arm(options.idle_timeout);
    }
}

void Connection::close() {
    if (phase_ == Phase::closed) return;
    phase_ = Phase::closed;
    gone_->store(true);
    // Counted out before the socket goes, so that whoever sees the close sees the count.
    if (counted_) {
        --core_.open;
    } else {
        --core_.refusing;
    }
    core_.connections.erase(this);
    error_code ignored;
    socket_.close(ignored);
    timer_.cancel();
    parser_.reset();
}

void Connection::arm(std::chrono::steady_clock::duration after) {
    const unsigned generation = ++timer_generation_;
    timer_.expires_after(after);
    timer_.async_wait([self = shared_from_this(), generation](const error_code& error) {
        if (error || generation != self->timer_generation_) return;
        self->on_timeout();
    });
}

void Connection::disarm() {
    ++timer_generation_;
    timer_.cancel();
}

void Connection::on_timeout() {
    if (phase_ == Phase::reading && got_byte_) {
        refuse(408, "the request took too long to arrive\n");
    } else if (phase_ != Phase::handling) {
        close();
    }
}

}  // namespace tmhost
