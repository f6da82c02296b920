// Connections that hold the server without asking it anything end at their timeout: a request
// half sent (408, however slowly its bytes keep coming), a connection on which nothing is sent, a
// kept-alive connection left idle, and an answer its client never reads.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "http_test_client.h"

namespace {

using tmhost::HttpOptions;
using tmhost::HttpRequest;
using tonemix_test::Client;
using tonemix_test::eventually;
using tonemix_test::get_request;
using tonemix_test::RunningServer;
using tonemix_test::text_answer;

HttpOptions one_second_timeouts() {
    HttpOptions options;
    options.header_timeout = std::chrono::seconds(1);
    options.idle_timeout = std::chrono::seconds(1);
    options.write_timeout = std::chrono::seconds(1);
    return options;
}

TEST(HttpTimeouts, AHalfSentRequestIsAnswered408AndClosedAtTheHeaderTimeout) {
    RunningServer running([](const HttpRequest&) { return text_answer("late"); },
                          one_second_timeouts());
    const std::uint16_t port = running.port();
    Client half(port);
    half.send("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n");
    const Client::Answer answer = half.answer();
    EXPECT_EQ(answer.status, 408);
    EXPECT_EQ(answer.body, "the request took too long to arrive\n");
    EXPECT_TRUE(half.closed_by_server());

    // A byte every 100 ms does not make the header's time run again.
    Client trickle(port);
    const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nX-Slow: " + std::string(100000, 'x');
    std::size_t sent = 0;
    Client::Ending ending = Client::Ending::none;
    std::string got;
    while (sent < 300 && got.empty() && ending == Client::Ending::none) {
        trickle.send(request.substr(sent++, 1));
        got = trickle.receive_some(&ending, 100);
        if (ending == Client::Ending::timed_out) ending = Client::Ending::none;
    }
    EXPECT_EQ(got.substr(0, 12), "HTTP/1.1 408");
    EXPECT_TRUE(eventually([&] { return running.server().open_connections() == 0; }));
}

TEST(HttpTimeouts, AConnectionWithNothingSentClosesWithoutAWord) {
    RunningServer running([](const HttpRequest&) { return text_answer(""); },
                          one_second_timeouts());
    Client silent(running.port());
    ASSERT_TRUE(eventually([&] { return running.server().open_connections() == 1; }));
    EXPECT_EQ(silent.receive_all(), "");
    EXPECT_TRUE(eventually([&] { return running.server().open_connections() == 0; }));
}

TEST(HttpTimeouts, AKeptAliveConnectionClosesAtTheIdleTimeout) {
    HttpOptions options = one_second_timeouts();
    options.header_timeout = std::chrono::minutes(5);  // only the idle timeout can end it
    RunningServer running([](const HttpRequest&) { return text_answer("once"); }, options);
    const std::uint16_t port = running.port();
    Client kept(port);
    kept.send(get_request(port, "/"));
    EXPECT_EQ(kept.answer().body, "once");
    EXPECT_EQ(kept.receive_all(), "");
    EXPECT_TRUE(eventually([&] { return running.server().open_connections() == 0; }));
}

TEST(HttpTimeouts, AnAnswerItsClientNeverReadsEndsAtTheWriteTimeout) {
    // Far more than the sockets' buffers hold, so that the write stops making progress.
    const std::string big(16 << 20, 'z');
    RunningServer running([&](const HttpRequest&) { return text_answer(big); },
                          one_second_timeouts());
    const std::uint16_t port = running.port();
    Client reader_never(port);
    reader_never.small_receive_buffer();
    reader_never.send(get_request(port, "/"));
    ASSERT_TRUE(eventually([&] { return running.server().open_connections() == 1; }));
    EXPECT_TRUE(eventually([&] { return running.server().open_connections() == 0; }));
    // The server is not held by it: the next client is answered.
    Client next(port);
    next.send(get_request(port, "/"));
    EXPECT_EQ(next.answer().body.size(), big.size());
}

}  // namespace
