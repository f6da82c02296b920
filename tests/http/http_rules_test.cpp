// Who may ask the server anything, as the pure functions decide it: Host in any case but exactly
// one, Origin and Sec-Fetch-Site of this server only (another port of 127.0.0.1 is another
// site), and the token from the query, Authorization or the server's own cookie, taken out of
// the target byte for byte.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/http/http_rules.h"
#include "host/http/http_token.h"

namespace {

using tmhost::apply_rules;
using tmhost::RequestFacts;
using tmhost::RuleVerdict;

constexpr std::uint16_t kPort = 8080;
const std::string kToken = "0123456789abcdef0123456789abcdef";

RequestFacts request_for(const std::string& target = "/") {
    RequestFacts facts;
    facts.hosts = {"127.0.0.1:8080"};
    facts.target = target;
    return facts;
}

TEST(HttpHostRule, NamesThisServerInAnyCaseWithItsPortOnly) {
    for (const char* host :
         {"127.0.0.1:8080", "localhost:8080", "LOCALHOST:8080", "LocalHost:8080"}) {
        EXPECT_TRUE(tmhost::names_this_server(host, kPort)) << host;
    }
    for (const char* host : {"127.0.0.1", "localhost", "127.0.0.1:80", "127.0.0.1:80800",
                             "127.0.0.1:8080.", "localhost.:8080", "evil.example:8080",
                             "127.0.0.2:8080", "[::1]:8080", "127.0.0.1:8080@evil.example", ""}) {
        EXPECT_FALSE(tmhost::names_this_server(host, kPort)) << host;
    }
    EXPECT_FALSE(tmhost::names_this_server("127.0.0.1:8080", 80));
}

TEST(HttpHostRule, NoneOrTwoHostHeadersAre400AndAForeignOne421) {
    RequestFacts none = request_for();
    none.hosts.clear();
    EXPECT_EQ(apply_rules(none, kPort, std::nullopt).status, 400);
    RequestFacts twice = request_for();
    twice.hosts = {"127.0.0.1:8080", "127.0.0.1:8080"};
    const RuleVerdict refused = apply_rules(twice, kPort, std::nullopt);
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body, "a request needs exactly one Host header\n");

    RequestFacts foreign = request_for();
    foreign.hosts = {"attacker.example:8080"};
    const RuleVerdict misdirected = apply_rules(foreign, kPort, std::nullopt);
    EXPECT_EQ(misdirected.status, 421);
    EXPECT_EQ(misdirected.body,
              "this server answers only requests for 127.0.0.1:8080 or localhost:8080\n");

    RequestFacts upper = request_for("/x?a=1");
    upper.hosts = {"LOCALHOST:8080"};
    const RuleVerdict allowed = apply_rules(upper, kPort, std::nullopt);
    EXPECT_EQ(allowed.status, 0);
    EXPECT_EQ(allowed.target, "/x?a=1");
    EXPECT_FALSE(allowed.set_cookie);
}

TEST(HttpOriginRule, OnlyThisServersOwnOriginAndSameOriginFetches) {
    for (const char* origin :
         {"http://127.0.0.1:8080", "http://localhost:8080", "HTTP://LOCALHOST:8080"}) {
        RequestFacts facts = request_for();
        facts.origins = {origin};
        EXPECT_EQ(apply_rules(facts, kPort, std::nullopt).status, 0) << origin;
    }
    // A page on another port of this machine is another origin, though the same site.
    for (const char* origin : {"http://127.0.0.1:8081", "https://127.0.0.1:8080", "null",
                               "http://127.0.0.1:8080/", "http://evil.example", "", "http://"}) {
        RequestFacts facts = request_for();
        facts.origins = {origin};
        EXPECT_EQ(apply_rules(facts, kPort, std::nullopt).status, 403) << origin;
    }
    RequestFacts one_bad = request_for();
    one_bad.origins = {"http://127.0.0.1:8080", "http://evil.example"};
    EXPECT_EQ(apply_rules(one_bad, kPort, std::nullopt).status, 403);

    for (const char* site : {"same-origin", "none", "Same-Origin"}) {
        RequestFacts facts = request_for();
        facts.fetch_sites = {site};
        EXPECT_EQ(apply_rules(facts, kPort, std::nullopt).status, 0) << site;
    }
    for (const char* site : {"same-site", "cross-site", "", "same-origin, cross-site"}) {
        RequestFacts facts = request_for();
        facts.fetch_sites = {site};
        const RuleVerdict verdict = apply_rules(facts, kPort, std::nullopt);
        EXPECT_EQ(verdict.status, 403) << site;
        EXPECT_EQ(verdict.body, "this server answers no requests from pages of other sites\n");
    }
}

TEST(HttpOriginRule, HostIsJudgedBeforeOriginAndOriginBeforeToken) {
    RequestFacts facts = request_for();
    facts.hosts = {"evil.example:8080"};
    facts.origins = {"http://evil.example"};
    EXPECT_EQ(apply_rules(facts, kPort, kToken).status, 421);
    facts.hosts = {"127.0.0.1:8080"};
    EXPECT_EQ(apply_rules(facts, kPort, kToken).status, 403);
    EXPECT_EQ(apply_rules(facts, kPort, kToken).body,
              "this server answers no requests from pages of other sites\n");
}

TEST(HttpTokenRule, TheRightTokenInTheQueryHeaderOrCookieLetsARequestThrough) {
    const RuleVerdict query = apply_rules(request_for("/api/x?a=1&token=" + kToken), kPort, kToken);
    EXPECT_EQ(query.status, 0);
    EXPECT_EQ(query.target, "/api/x?a=1");
    EXPECT_TRUE(query.set_cookie);

    RequestFacts header = request_for("/api/x");
    header.authorizations = {"token " + kToken};
    const RuleVerdict by_header = apply_rules(header, kPort, kToken);
    EXPECT_EQ(by_header.status, 0);
    EXPECT_FALSE(by_header.set_cookie);

    RequestFacts cookie = request_for("/");
    cookie.cookies = {"theme=dark; tonemix-token-8080=" + kToken + "; other=1"};
    const RuleVerdict by_cookie = apply_rules(cookie, kPort, kToken);
    EXPECT_EQ(by_cookie.status, 0);
    EXPECT_EQ(by_cookie.target, "/");
    EXPECT_FALSE(by_cookie.set_cookie);
}

TEST(HttpTokenRule, AWrongMissingOrOtherServersTokenIs403WithoutTheToken) {
    const std::string wrong = "0123456789abcdef0123456789abcdee";
    RequestFacts other_port = request_for();
    other_port.cookies = {"tonemix-token-8081=" + kToken + "; tonemix-token-80800=" + kToken};
    RequestFacts bearer = request_for();
    bearer.authorizations = {"Bearer " + kToken, "token" + kToken};
    RequestFacts prefix = request_for("/?token=" + kToken.substr(0, 31));
    for (const RequestFacts& facts :
         {request_for("/"), request_for("/?token=" + wrong), request_for("/?token="),
          request_for("/?token"), request_for("/?Token=" + kToken), other_port, bearer, prefix}) {
        const RuleVerdict verdict = apply_rules(facts, kPort, kToken);
        EXPECT_EQ(verdict.status, 403) << facts.target;
        EXPECT_EQ(verdict.body,
                  "this server needs its token: open the address that tonemix-host serve "
                  "printed, token included\n");
        EXPECT_EQ(verdict.body.find(kToken), std::string::npos);
    }
    // A server without a token passes token parameters on: the handler decides about them.
    const RuleVerdict untouched = apply_rules(request_for("/?token=x"), kPort, std::nullopt);
    EXPECT_EQ(untouched.status, 0);
    EXPECT_EQ(untouched.target, "/?token=x");
}

TEST(HttpTokenRule, TokenParametersAreTakenOutOfTheTargetByteForByte) {
    struct Case {
        const char* target;
        const char* left;
        std::size_t tokens;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"/", "/", 0},
             {"/api/x", "/api/x", 0},
             {"/?token=T", "/", 1},
             {"/api/x?token=T&a=1", "/api/x?a=1", 1},
             {"/api/x?a=1&token=T", "/api/x?a=1", 1},
             {"/api/x?a=1&token=T&b=%20&set=x%3D1", "/api/x?a=1&b=%20&set=x%3D1", 1},
             {"/?token=T&token=U", "/", 2},
             {"/?token", "/", 1},
             {"/?tokens=1&my-token=2&a=token=T", "/?tokens=1&my-token=2&a=token=T", 0},
             {"/?a=1&&b=2", "/?a=1&&b=2", 0},
         }) {
        const tmhost::TargetTokens taken = tmhost::take_token_parameters(c.target);
        EXPECT_EQ(taken.target, c.left) << c.target;
        EXPECT_EQ(taken.tokens.size(), c.tokens) << c.target;
    }
    const tmhost::TargetTokens two = tmhost::take_token_parameters("/?token=T&x=1&token=U%41");
    ASSERT_EQ(two.tokens.size(), 2u);
    EXPECT_EQ(two.tokens[0], "T");
    EXPECT_EQ(two.tokens[1], "U%41");
    EXPECT_EQ(two.target, "/?x=1");
}

TEST(HttpTokenRule, HeaderAndCookieForms) {
    EXPECT_EQ(tmhost::authorization_token("token abc"), std::optional<std::string>("abc"));
    EXPECT_EQ(tmhost::authorization_token("Token   abc "), std::optional<std::string>("abc"));
    for (const char* refused : {"tokenabc", "Bearer abc", "token", "", "tok abc"}) {
        EXPECT_EQ(tmhost::authorization_token(refused), std::nullopt) << refused;
    }
    EXPECT_EQ(tmhost::cookie_values("a=1;tonemix-token-80=x ; b=2; tonemix-token-80=y",
                                    "tonemix-token-80"),
              (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(tmhost::cookie_values("tonemix-token-800=x; xtonemix-token-80=y; tonemix-token-80",
                                      "tonemix-token-80")
                    .empty());
    EXPECT_EQ(tmhost::token_cookie_name(8080), "tonemix-token-8080");
    EXPECT_EQ(tmhost::token_cookie(8080, kToken),
              "tonemix-token-8080=" + kToken + "; Path=/; HttpOnly; SameSite=Strict");
}

TEST(HttpToken, RandomTokensAre32HexDigitsAndNeverRepeat) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string token = tmhost::random_token();
        ASSERT_EQ(token.size(), 32u);
        EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(HttpToken, SameTokenComparesEveryByteAndTheLength) {
    EXPECT_TRUE(tmhost::same_token(kToken, kToken));
    EXPECT_FALSE(tmhost::same_token(kToken, "1" + kToken.substr(1)));
    EXPECT_FALSE(tmhost::same_token(kToken, kToken.substr(0, 31) + "e"));
    EXPECT_FALSE(tmhost::same_token(kToken, kToken + "0"));
    EXPECT_FALSE(tmhost::same_token("", kToken));
    EXPECT_FALSE(tmhost::same_token(std::string("ab\0d", 4), std::string("ab\0c", 4)));
}

}  // namespace
