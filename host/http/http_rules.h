// Who may ask this server anything, as pure functions of a request's headers: the Host header
// (against DNS rebinding), the Origin and Sec-Fetch-Site headers (against pages of other sites,
// other ports included, that make a browser send requests here) and the token (against anything
// that finds the port without having been given the address).
#ifndef TMHOST_HTTP_RULES_H
#define TMHOST_HTTP_RULES_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tmhost {

// "127.0.0.1:PORT" or "localhost:PORT", in any case.
bool names_this_server(std::string_view host, std::uint16_t port);
// "http://127.0.0.1:PORT" or "http://localhost:PORT", in any case.
bool is_own_origin(std::string_view origin, std::uint16_t port);
// "same-origin", or "none" (the user typed the address or opened a bookmark).
bool is_own_fetch_site(std::string_view site);

// "tonemix-token-PORT": a cookie belongs to a host, not to a port, so each server has its own.
std::string token_cookie_name(std::uint16_t port);
// The Set-Cookie value that hands a browser the token.
std::string token_cookie(std::uint16_t port, const std::string& token);

struct TargetTokens {
    std::string target;               // without its token parameters
    std::vector<std::string> tokens;  // the values of token=..., as sent
};
// The token parameters of the target's query taken out, the others kept in order, byte for
// byte; the '?' goes too when no other parameter is left.
TargetTokens take_token_parameters(std::string_view target);

// "token T" (the scheme in any case) gives T.
std::optional<std::string> authorization_token(std::string_view authorization);
// The values of every cookie of that name in a Cookie header ("a=1; b=2").
std::vector<std::string> cookie_values(std::string_view cookie_header, std::string_view name);

// The headers the rules read, every value of each, and the target.
struct RequestFacts {
    std::vector<std::string> hosts;
    std::vector<std::string> origins;
    std::vector<std::string> fetch_sites;
    std::vector<std::string> authorizations;
    std::vector<std::string> cookies;
    std::string target;
};

struct RuleVerdict {
    int status = 0;           // 0 when the request may go to the handler, else the refusal's status
    std::string body;         // the refusal's line, never with the token in it
    std::string target;       // when allowed: what the handler sees (tokens taken out)
    bool set_cookie = false;  // when allowed with the right token in the query
};

// Host first (400 for none or several, 421 for a foreign one), then Origin and Sec-Fetch-Site
// (403), then, when the server has a token, the token (403): the right one in the query, in
// Authorization or in the server's cookie lets the request through.
RuleVerdict apply_rules(const RequestFacts& request, std::uint16_t port,
                        const std::optional<std::string>& token);

}  // namespace tmhost

#endif
