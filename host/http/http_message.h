// A request as a handler sees it and the answer it gives: plain values, nothing of the socket.
#ifndef TMHOST_HTTP_MESSAGE_H
#define TMHOST_HTTP_MESSAGE_H

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tmhost {

constexpr std::size_t kMostRequestBody = 1 << 20;

struct HttpRequest {
    std::string method;  // "GET"
    // "/api/render?width=64" as sent, less any token=... parameter of its query when the server
    // checks a token (the '?' goes too when nothing is left of the query).
    std::string target;
    std::string body;
    // Whether the client has closed its connection (or reset it), so that no one waits for the
    // answer. Safe from any thread and at any time, after the handler has returned too; it turns
    // true once and stays true. A client that only closes its sending side counts as gone.
    std::function<bool()> client_gone;
};

struct HttpResponse {
    int status = 200;  // 100 to 599; any other is answered 500
    std::string content_type = "text/plain; charset=utf-8";
    std::string disposition;  // Content-Disposition, when not empty
    // More header fields, in order ("Location", ...). Content-Length, Connection and
    // Transfer-Encoding are the server's; a name or value with a line break or a NUL in it makes
    // the answer a 500 instead, so that no text from a request can add lines to an answer.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

// Called on a thread of the server's pools, never on its I/O thread, several at once for several
// requests; it may block for minutes (client_gone says when to give up).
using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

}  // namespace tmhost

#endif
