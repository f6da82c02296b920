#include "host/http/answer_message.h"

#include <cctype>
#include <string_view>

namespace tmhost {

namespace http = boost::beast::http;

namespace {

bool is_field_name(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0 ||
                           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
        if (!plain) return false;
    }
    return true;
}

bool is_field_value(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool owned_by_server(std::string_view name) {
    for (const http::field field :
         {http::field::content_length, http::field::transfer_encoding, http::field::connection}) {
        if (boost::beast::iequals({name.data(), name.size()}, http::to_string(field))) return true;
    }
    return false;
}

// Why the answer cannot go out as it is, or nothing.
std::string fault_of(const HttpResponse& response) {
    if (response.status < 100 || response.status > 599) {
        return "the answer's status " + std::to_string(response.status) + " is no HTTP status";
    }
    if (!is_field_value(response.content_type) || !is_field_value(response.disposition)) {
        return "the answer's Content-Type or Content-Disposition has a line break";
    }
    for (const auto& header : response.headers) {
        if (!is_field_name(header.first) || owned_by_server(header.first) ||
            !is_field_value(header.second)) {
            return "the answer's header '" + header.first + "' cannot be sent";
        }
    }
    return "";
}

}  // namespace

AnswerMessage answer_message(HttpResponse response, unsigned version, bool keep_alive,
                             const std::string& cookie) {
    const std::string fault = fault_of(response);
    if (!fault.empty()) {
        response = HttpResponse();
        response.status = 500;
        response.body = fault + "\n";
    }
    AnswerMessage message{static_cast<http::status>(response.status), version};
    message.set(http::field::content_type, response.content_type);
    message.set(http::field::cache_control, "no-store");
    if (!response.disposition.empty()) {
        message.set(http::field::content_disposition, response.disposition);
    }
    for (const auto& header : response.headers) message.insert(header.first, header.second);
    if (!cookie.empty()) message.insert(http::field::set_cookie, cookie);
    message.keep_alive(keep_alive);
    message.body() = std::move(response.body);
    message.prepare_payload();
    return message;
}

}  // namespace tmhost
