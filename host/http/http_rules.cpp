#include "host/http/http_rules.h"

#include <cctype>

#include "host/http/http_token.h"

namespace tmhost {

namespace {

bool same_text_any_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool any_token_is(const std::vector<std::string>& given, const std::string& token) {
    bool found = false;
    for (const std::string& value : given) found |= same_token(value, token);
    return found;
}

RuleVerdict refused(int status, std::string body) {
    RuleVerdict verdict;
    verdict.status = status;
    verdict.body = std::move(body);
    return verdict;
}

}  // namespace

bool names_this_server(std::string_view host, std::uint16_t port) {
    const std::string suffix = ":" + std::to_string(port);
    return same_text_any_case(host, "127.0.0.1" + suffix) ||
           same_text_any_case(host, "localhost" + suffix);
}

bool is_own_origin(std::string_view origin, std::uint16_t port) {
    constexpr std::string_view kScheme = "http://";
    return origin.size() > kScheme.size() &&
           same_text_any_case(origin.substr(0, kScheme.size()), kScheme) &&
           names_this_server(origin.substr(kScheme.size()), port);
}

bool is_own_fetch_site(std::string_view site) {
    return same_text_any_case(site, "same-origin") || same_text_any_case(site, "none");
}

std::string token_cookie_name(std::uint16_t port) {
    return "tonemix-token-" + std::to_string(port);
}

std::string token_cookie(std::uint16_t port, const std::string& token) {
    return token_cookie_name(port) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict";
}

TargetTokens take_token_parameters(std::string_view target) {
    TargetTokens result;
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos) {
        result.target = std::string(target);
        return result;
    }
    std::string query;
    std::string_view rest = target.substr(question + 1);
    for (;;) {
        const std::size_t amp = rest.find('&');
        const std::string_view parameter = rest.substr(0, amp);
        const std::size_t equals = parameter.find('=');
        if (parameter.substr(0, equals) == "token") {
            result.tokens.emplace_back(equals == std::string_view::npos
                                           ? std::string_view()
                                           : parameter.substr(equals + 1));
        } else {
            if (!query.empty()) query += '&';
            query += parameter;
        }
        if (amp == std::string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
    result.target = std::string(target.substr(0, question));
    if (!query.empty()) result.target += "?" + query;
    return result;
}

std::optional<std::string> authorization_token(std::string_view authorization) {
    authorization = trimmed(authorization);
    constexpr std::string_view kScheme = "token";
    if (authorization.size() <= kScheme.size() ||
        !same_text_any_case(authorization.substr(0, kScheme.size()), kScheme) ||
        authorization[kScheme.size()] != ' ') {
        return std::nullopt;
    }
    return std::string(trimmed(authorization.substr(kScheme.size())));
}

std::vector<std::string> cookie_values(std::string_view cookie_header, std::string_view name) {
    std::vector<std::string> values;
    for (;;) {
        const std::size_t semicolon = cookie_header.find(';');
        const std::string_view pair = trimmed(cookie_header.substr(0, semicolon));
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && trimmed(pair.substr(0, equals)) == name) {
            values.emplace_back(trimmed(pair.substr(equals + 1)));
        }
        if (semicolon == std::string_view::npos) break;
        cookie_header.remove_prefix(semicolon + 1);
    }
    return values;
}

RuleVerdict apply_rules(const RequestFacts& request, std::uint16_t port,
                        const std::optional<std::string>& token) {
    const std::string address = "127.0.0.1:" + std::to_string(port);
    if (request.hosts.size() != 1) {
        return refused(400, "a request needs exactly one Host header\n");
    }
    if (!names_this_server(request.hosts.front(), port)) {
        return refused(421, "this server answers only requests for " + address +
                                " or localhost:" + std::to_string(port) + "\n");
    }
    for (const std::string& origin : request.origins) {
        if (!is_own_origin(origin, port)) {
            return refused(403, "this server answers no requests from pages of other sites\n");
        }
    }
    for (const std::string& site : request.fetch_sites) {
        if (!is_own_fetch_site(site)) {
            return refused(403, "this server answers no requests from pages of other sites\n");
        }
    }
    RuleVerdict verdict;
    if (!token) {
        verdict.target = request.target;
        return verdict;
    }
    TargetTokens taken = take_token_parameters(request.target);
    const bool in_query = any_token_is(taken.tokens, *token);
    std::vector<std::string> others;
    for (const std::string& authorization : request.authorizations) {
        if (auto given = authorization_token(authorization)) others.push_back(std::move(*given));
    }
    for (const std::string& cookies : request.cookies) {
        for (std::string& value : cookie_values(cookies, token_cookie_name(port))) {
            others.push_back(std::move(value));
        }
    }
    if (!in_query && !any_token_is(others, *token)) {
        return refused(403,
                       "this server needs its token: open the address that tonemix-host "
                       "serve printed, token included\n");
    }
    verdict.target = std::move(taken.target);
    verdict.set_cookie = in_query;
    return verdict;
}

}  // namespace tmhost
