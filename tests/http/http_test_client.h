// A raw HTTP client over POSIX sockets, exact to the byte, for driving an HttpServer in this
// process, and the server itself run on a thread of its own. Every wait is bounded and generous:
// the tests may run under an emulator, fifteen times slower.
#ifndef TONEMIX_HTTP_TEST_CLIENT_H
#define TONEMIX_HTTP_TEST_CLIENT_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/http/http_server.h"

namespace tonemix_test {

// Long enough for any emulator; a test that needs it has failed anyway.
constexpr int kWaitMilliseconds = 30'000;

// Waits up to a minute for `done`, looking every 20 ms.
template <typename Done>
bool eventually(Done done) {
    for (int i = 0; i < 3000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A connected socket, closed with the object.
class Client {
public:
    explicit Client(std::uint16_t port) : Client() { connect_to(port); }
    // A socket not connected yet: connecting later takes no new descriptor.
    Client() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {}
    bool connect_to(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ >= 0 &&
            connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        return fd_ >= 0;
    }
    ~Client() { close(); }
    Client(Client&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Ends the connection with a reset instead of a close.
    void reset() {
        linger hard{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        close();
    }
    void shut_sending() { shutdown(fd_, SHUT_WR); }
    // A receive buffer the kernel does not grow: a client that reads nothing soon holds up the
    // server's writes.
    void small_receive_buffer() {
        const int bytes = 64 * 1024;
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }

    bool send(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    enum class Ending { none, closed, reset, timed_out };

    // Whatever comes within the wait, up to `most` bytes; when nothing comes, `ending` says why.
    std::string receive_some(Ending* ending = nullptr, int wait_ms = kWaitMilliseconds) {
        Ending ignored;
        Ending& why = ending ? *ending : ignored;
        why = Ending::none;
        pollfd ready{fd_, POLLIN, 0};
        if (poll(&ready, 1, wait_ms) != 1) {
            why = Ending::timed_out;
            return "";
        }
        std::string bytes(65536, '\0');
        const ssize_t n = recv(fd_, bytes.data(), bytes.size(), 0);
        if (n <= 0) {
            why = n == 0 ? Ending::closed : Ending::reset;
            return "";
        }
        bytes.resize(static_cast<std::size_t>(n));
        return bytes;
    }

    // Everything until the server closes (or resets) the connection, or the wait runs out.
    std::string receive_all(int wait_ms = kWaitMilliseconds) {
        std::string all = std::move(pending_);
        pending_.clear();
        for (;;) {
            const std::string more = receive_some(nullptr, wait_ms);
            if (more.empty()) return all;
            all += more;
        }
    }

    // How the server ends the connection (closed or reset), reading and dropping what comes
    // first, or timed_out.
    Ending ending(int wait_ms = kWaitMilliseconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
        while (std::chrono::steady_clock::now() < until) {
            Ending why;
            if (receive_some(&why, wait_ms).empty()) return why;
        }
        return Ending::timed_out;
    }
    bool closed_by_server(int wait_ms = kWaitMilliseconds) {
        const Ending why = ending(wait_ms);
        return why == Ending::closed || why == Ending::reset;
    }

    // One answer: its head up to the empty line, then Content-Length bytes of body.
    struct Answer {
        int status = 0;
        std::string head;  // the status line and fields, each line with its CRLF
        std::string body;
        bool complete = false;
        // The value of the first field of that name (as sent, case and all), or "".
        std::string field(const std::string& name) const;
        // How many fields of that name.
        int count(const std::string& name) const;
    };
    Answer answer() {
        Answer got;
        std::size_t end;
        while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
            const std::string more = receive_some();
            if (more.empty()) return got;
            pending_ += more;
        }
        got.head = pending_.substr(0, end + 2);
        pending_.erase(0, end + 4);
        got.status = std::atoi(got.head.substr(9, 3).c_str());
        const std::size_t length =
            static_cast<std::size_t>(std::atol(got.field("Content-Length").c_str()));
        while (pending_.size() < length) {
            const std::string more = receive_some();
            if (more.empty()) return got;
            pending_ += more;
        }
        got.body = pending_.substr(0, length);
        pending_.erase(0, length);
        got.complete = true;
        return got;
    }

private:
    int fd_ = -1;
    std::string pending_;
};

inline std::vector<std::pair<std::string, std::string>> fields_of(const std::string& head) {
    std::vector<std::pair<std::string, std::string>> fields;
    std::size_t start = head.find("\r\n") + 2;
    while (start < head.size()) {
        const std::size_t end = head.find("\r\n", start);
        const std::string line = head.substr(start, end - start);
        const std::size_t colon = line.find(':');
        std::size_t value = colon + 1;
        while (value < line.size() && line[value] == ' ') ++value;
        fields.emplace_back(line.substr(0, colon), line.substr(value));
        start = end + 2;
    }
    return fields;
}

inline bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

inline std::string Client::Answer::field(const std::string& name) const {
    for (const auto& field : fields_of(head)) {
        if (same_name(field.first, name)) return field.second;
    }
    return "";
}

inline int Client::Answer::count(const std::string& name) const {
    int found = 0;
    for (const auto& field : fields_of(head)) found += same_name(field.first, name) ? 1 : 0;
    return found;
}

// "GET target HTTP/1.1" with the server's own Host and the extra lines given (each with CRLF).
inline std::string get_request(std::uint16_t port, const std::string& target,
                               const std::string& extra = "") {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" +
           extra + "\r\n";
}

// One request on a connection of its own.
inline Client::Answer ask(std::uint16_t port, const std::string& request) {
    Client client(port);
    client.send(request);
    return client.answer();
}

// An HttpServer running on a thread of its own; stopped and joined with the object.
class RunningServer {
public:
    explicit RunningServer(tmhost::HttpHandler handler, tmhost::HttpOptions options = {})
        : RunningServer(0, std::move(handler), std::move(options)) {}
    RunningServer(std::uint16_t port, tmhost::HttpHandler handler, tmhost::HttpOptions options = {})
        : server_(port, std::move(handler), std::move(options)),
          thread_([this] { server_.run(); }) {}
    ~RunningServer() { stop(); }
    RunningServer(const RunningServer&) = delete;
    RunningServer& operator=(const RunningServer&) = delete;

    tmhost::HttpServer& server() { return server_; }
    std::uint16_t port() const { return server_.port(); }
    // Stops the server and waits for run() to return.
    void stop() {
        server_.stop();
        if (thread_.joinable()) thread_.join();
    }

private:
    tmhost::HttpServer server_;
    std::thread thread_;
};

inline tmhost::HttpResponse text_answer(const std::string& body, int status = 200) {
    tmhost::HttpResponse response;
    response.status = status;
    response.body = body;
    return response;
}

}  // namespace tonemix_test

#endif
