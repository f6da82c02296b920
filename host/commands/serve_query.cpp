#include "host/commands/serve_query.h"

#include <algorithm>
#include <charconv>

#include "host/commands/command_error.h"
#include "host/core/text_format.h"

namespace tmhost {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
            continue;
        }
        if (c == '%' && i + 2 < text.size()) {
            const int high = hex_digit(text[i + 1]);
            const int low = hex_digit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace

ServeQuery::ServeQuery(const std::string& query, const std::vector<std::string>& known) {
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        std::string name = decoded(pair.substr(0, equals));
        std::string value = equals == std::string::npos ? "" : decoded(pair.substr(equals + 1));
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            throw UsageError("unknown query parameter '" + one_line(name) + "'");
        }
        // A file name with a NUL in it would name a shorter file than the one asked for, and a
        // command line with control bytes would not read back as it was shown.
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7f) {
                throw UsageError(name + "=" + one_line(value) +
                                 ": a control character is not allowed");
            }
        }
        pairs_.emplace_back(std::move(name), std::move(value));
    }
}

std::optional<std::string> ServeQuery::value(const std::string& name) const {
    std::optional<std::string> found;
    for (const auto& pair : pairs_) {
        if (pair.first == name) found = pair.second;
    }
    return found;
}

std::vector<std::string> ServeQuery::values(const std::string& name) const {
    std::vector<std::string> found;
    for (const auto& pair : pairs_) {
        if (pair.first == name) found.push_back(pair.second);
    }
    return found;
}

std::optional<std::uint64_t> ServeQuery::count(const std::string& name) const {
    const std::optional<std::string> text = value(name);
    if (!text) return std::nullopt;
    std::uint64_t number = 0;
    const char* const end = text->data() + text->size();
    const auto read = std::from_chars(text->data(), end, number);
    if (text->empty() || (*text)[0] < '0' || (*text)[0] > '9' || read.ec != std::errc() ||
        read.ptr != end) {
        throw UsageError(name + "=" + *text + ": not a whole number 0 or more");
    }
    return number;
}

std::pair<std::string, std::string> split_target(const std::string& target) {
    const std::size_t mark = target.find('?');
    if (mark == std::string::npos) return {target, ""};
    return {target.substr(0, mark), target.substr(mark + 1)};
}

std::string shell_word(const std::string& argument) {
    const bool plain =
        !argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   std::string("_-./=,:+@%").find(c) != std::string::npos;
        });
    if (plain) return argument;
    std::string quoted = "'";
    for (const char c : argument) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace tmhost
