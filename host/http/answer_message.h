// A handler's answer as the message that goes out. Inside the http layer only.
#ifndef TMHOST_ANSWER_MESSAGE_H
#define TMHOST_ANSWER_MESSAGE_H

#include <string>

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include "host/http/http_message.h"

namespace tmhost {

using AnswerMessage = boost::beast::http::response<boost::beast::http::string_body>;

// With Cache-Control: no-store, Set-Cookie when `cookie` is not empty, and Connection as
// `keep_alive` says. A status outside 100 to 599, a header the server owns (Content-Length,
// Transfer-Encoding, Connection), a malformed header name, or a line break or NUL in a value
// makes the message a 500 that says so.
AnswerMessage answer_message(HttpResponse response, unsigned version, bool keep_alive,
                             const std::string& cookie);

}  // namespace tmhost

#endif
