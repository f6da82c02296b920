// An HttpServer in this process as a client meets it over a socket: the handler's answer byte for
// byte, kept-alive and pipelined requests, the rules refusing before any handler runs, the token
// and its cookie, and answers that cannot go out as the handler made them.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "http_test_client.h"

namespace {

using tmhost::HttpOptions;
using tmhost::HttpRequest;
using tmhost::HttpResponse;
using tonemix_test::ask;
using tonemix_test::Client;
using tonemix_test::get_request;
using tonemix_test::RunningServer;
using tonemix_test::text_answer;

// A handler that answers with what it saw: "METHOD TARGET BODY".
struct Echo {
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::vector<std::string> targets;

    tmhost::HttpHandler handler() {
        return [this](const HttpRequest& request) {
            ++calls;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                targets.push_back(request.target);
            }
            return text_answer(request.method + " " + request.target + " " + request.body);
        };
    }
};

TEST(HttpServer, AnswersWithTheHandlersStatusTypeAndHeadersExactly) {
    RunningServer running([](const HttpRequest&) {
        HttpResponse response;
        response.status = 303;
        response.content_type = "application/json";
        response.disposition = "attachment; filename=\"a.json\"";
        response.headers = {{"Location", "/elsewhere?a=1"}, {"X-Two", "1"}, {"X-Two", "2"}};
        response.body = "{}\n";
        return response;
    });
    Client client(running.port());
    client.send(get_request(running.port(), "/"));
    const Client::Answer answer = client.answer();
    ASSERT_TRUE(answer.complete);
    EXPECT_EQ(answer.head.substr(0, 17), "HTTP/1.1 303 See ");
    EXPECT_EQ(answer.field("Content-Type"), "application/json");
    EXPECT_EQ(answer.field("Cache-Control"), "no-store");
    EXPECT_EQ(answer.field("Content-Disposition"), "attachment; filename=\"a.json\"");
    EXPECT_EQ(answer.field("Location"), "/elsewhere?a=1");
    EXPECT_EQ(answer.count("X-Two"), 2);
    EXPECT_EQ(answer.field("Content-Length"), "3");
    EXPECT_EQ(answer.count("Access-Control-Allow-Origin"), 0);
    EXPECT_EQ(answer.count("Set-Cookie"), 0);
    EXPECT_EQ(answer.body, "{}\n");
}

TEST(HttpServer, KeptAliveAndPipelinedRequestsAreAnsweredInOrder) {
    Echo echo;
    RunningServer running(echo.handler());
    const std::uint16_t port = running.port();
    Client client(port);
    client.send(get_request(port, "/one"));
    EXPECT_EQ(client.answer().body, "GET /one ");
    // Two at once, the second with a body, in one write: neither's bytes may be lost.
    client.send(get_request(port, "/two") + "POST /three HTTP/1.1\r\nHost: 127.0.0.1:" +
                std::to_string(port) + "\r\nContent-Length: 5\r\n\r\nhello");
    EXPECT_EQ(client.answer().body, "GET /two ");
    const Client::Answer third = client.answer();
    EXPECT_EQ(third.body, "POST /three hello");
    EXPECT_EQ(third.field("Connection"), "");  // HTTP/1.1 keeps alive without saying so
    // HTTP/1.0 without keep-alive: answered, then closed.
    client.send("GET /four HTTP/1.0\r\nHost: localhost:" + std::to_string(port) + "\r\n\r\n");
    EXPECT_EQ(client.answer().body, "GET /four ");
    EXPECT_TRUE(client.closed_by_server());
    EXPECT_EQ(echo.calls, 4);
}

TEST(HttpServer, HostAndOriginRefusalsReachNoHandler) {
    Echo echo;
    RunningServer running(echo.handler());
    const std::uint16_t port = running.port();
    const std::string own = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    struct Case {
        std::string request;
        int status;
    };
    const std::vector<Case> cases = {
        {"GET / HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\n" + own + own + "\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: evil.example:" + std::to_string(port) + "\r\n\r\n", 421},
        {get_request(port, "/", "Origin: http://127.0.0.1:1\r\n"), 403},
        {get_request(port, "/", "Sec-Fetch-Site: same-site\r\n"), 403},
        {get_request(port, "/", "Sec-Fetch-Site: cross-site\r\n"), 403},
    };
    for (const Case& c : cases) {
        const Client::Answer answer = ask(port, c.request);
        EXPECT_EQ(answer.status, c.status) << c.request;
        EXPECT_EQ(answer.field("Cache-Control"), "no-store");
    }
    EXPECT_EQ(ask(port, cases[2].request).body,
              "this server answers only requests for 127.0.0.1:" + std::to_string(port) +
                  " or localhost:" + std::to_string(port) + "\n");
    EXPECT_EQ(echo.calls, 0);
    // A refusal keeps the connection: the next request on it is answered.
    Client client(port);
    client.send(cases[3].request + get_request(port, "/after"));
    EXPECT_EQ(client.answer().status, 403);
    EXPECT_EQ(client.answer().body, "GET /after ");

    const std::string upper = "GET /up HTTP/1.1\r\nHost: LOCALHOST:" + std::to_string(port) +
                              "\r\nOrigin: http://localhost:" + std::to_string(port) +
                              "\r\nSec-Fetch-Site: same-origin\r\n\r\n";
    EXPECT_EQ(ask(port, upper).status, 200);
    EXPECT_EQ(ask(port, get_request(port, "/", "Sec-Fetch-Site: none\r\n")).status, 200);
}

TEST(HttpServer, TheTokenComesByQueryHeaderOrCookieAndTheQueryOneSetsTheCookie) {
    Echo echo;
    HttpOptions options;
    options.token = tmhost::random_token();
    const std::string token = *options.token;
    RunningServer running(echo.handler(), options);
    const std::uint16_t port = running.port();
    const std::string cookie_name = "tonemix-token-" + std::to_string(port);

    const Client::Answer by_query =
        ask(port, get_request(port, "/api/x?token=" + token + "&scene=a%20b"));
    EXPECT_EQ(by_query.status, 200);
    EXPECT_EQ(by_query.body, "GET /api/x?scene=a%20b ");
    EXPECT_EQ(by_query.field("Set-Cookie"),
              cookie_name + "=" + token + "; Path=/; HttpOnly; SameSite=Strict");

    const Client::Answer by_cookie =
        ask(port, get_request(port, "/next", "Cookie: " + cookie_name + "=" + token + "\r\n"));
    EXPECT_EQ(by_cookie.status, 200);
    EXPECT_EQ(by_cookie.count("Set-Cookie"), 0);
    const Client::Answer by_header = ask(
        port, get_request(port, "/api?token=" + token, "Authorization: token " + token + "\r\n"));
    EXPECT_EQ(by_header.body, "GET /api ");
    EXPECT_EQ(ask(port, get_request(port, "/", "Authorization: token " + token + "\r\n")).status,
              200);
    const int allowed_calls = echo.calls;

    const std::string other_port_cookie =
        "Cookie: tonemix-token-" + std::to_string(port + 1) + "=" + token + "\r\n";
    for (const std::string& refused :
         {get_request(port, "/"), get_request(port, "/?token=" + token.substr(1)),
          get_request(port, "/", other_port_cookie),
          get_request(port, "/", "Authorization: Bearer " + token + "\r\n")}) {
        const Client::Answer answer = ask(port, refused);
        EXPECT_EQ(answer.status, 403) << refused;
        EXPECT_EQ(answer.body,
                  "this server needs its token: open the address that tonemix-host serve "
                  "printed, token included\n");
        EXPECT_EQ(answer.head.find(token), std::string::npos);
        EXPECT_EQ(answer.count("Set-Cookie"), 0);
    }
    EXPECT_EQ(echo.calls, allowed_calls);
}

TEST(HttpServer, AnAnswerThatCannotGoOutAsMadeIsA500) {
    std::atomic<int> which{0};
    RunningServer running([&](const HttpRequest&) -> HttpResponse {
        HttpResponse response;
        switch (which.load()) {
        case 0:
            throw std::runtime_error("the scene fell over");
        case 1:
            response.headers = {{"Location", "/a\r\nSet-Cookie: evil=1"}};
            return response;
        case 2:
            response.headers = {{"Content-Length", "0"}};
            return response;
        case 3:
            response.disposition = std::string("a\0b", 3);
            return response;
        default:
            response.status = 1000;
            return response;
        }
    });
    const std::uint16_t port = running.port();
    const std::vector<std::string> bodies = {
        "the scene fell over\n", "the answer's header 'Location' cannot be sent\n",
        "the answer's header 'Content-Length' cannot be sent\n",
        "the answer's Content-Type or Content-Disposition has a line break\n",
        "the answer's status 1000 is no HTTP status\n"};
    for (int i = 0; i < 5; ++i) {
        which = i;
        const Client::Answer answer = ask(port, get_request(port, "/"));
        EXPECT_EQ(answer.status, 500) << i;
        EXPECT_EQ(answer.body, bodies[static_cast<std::size_t>(i)]);
        EXPECT_EQ(answer.count("Set-Cookie"), 0);
        EXPECT_EQ(answer.count("Location"), 0);
    }
}

TEST(HttpServer, APortInUseIsOneLineAndAStoppedServersPortIsFreeAtOnce) {
    std::uint16_t port = 0;
    {
        RunningServer first([](const HttpRequest&) { return text_answer("first"); });
        port = first.port();
        try {
            tmhost::HttpServer second(port, [](const HttpRequest&) { return text_answer(""); });
            ADD_FAILURE() << "a second server listens on port " << port;
        } catch (const tmhost::HttpError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "port " + std::to_string(port) + ": Address already in use");
        }
        // A kept-alive connection, closed by the server when it stops: the server's side of it
        // waits out TIME_WAIT, which must not keep the port from the next server.
        Client kept(port);
        kept.send(get_request(port, "/"));
        EXPECT_EQ(kept.answer().body, "first");
        first.stop();
        EXPECT_TRUE(kept.closed_by_server());
    }
    RunningServer again(port, [](const HttpRequest&) { return text_answer("again"); });
    EXPECT_EQ(ask(port, get_request(port, "/")).body, "again");
}

}  // namespace
