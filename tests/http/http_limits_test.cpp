// Requests past the server's limits, at the byte where each begins: a target past max_target is
// 414, header fields past max_header_bytes 431, a body past max_body 413, a malformed request
// 400, each answered and then the connection closed, and nothing reaches the handler.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "http_test_client.h"

namespace {

using tmhost::HttpOptions;
using tmhost::HttpRequest;
using tonemix_test::Client;
using tonemix_test::get_request;
using tonemix_test::RunningServer;
using tonemix_test::text_answer;

// Answers the sizes it saw: "TARGET-LENGTH BODY-LENGTH".
struct Sizes {
    std::atomic<int> calls{0};
    tmhost::HttpHandler handler() {
        return [this](const HttpRequest& request) {
            ++calls;
            return text_answer(std::to_string(request.target.size()) + " " +
                               std::to_string(request.body.size()));
        };
    }
};

// The answer to `request` on a connection of its own, and whether the server closed it after
// (an answered request's connection is looked at for a moment only: it stays open).
struct Outcome {
    int status = 0;
    std::string body;
    bool closed = false;
};
Outcome send_alone(std::uint16_t port, const std::string& request) {
    Client client(port);
    client.send(request);
    const Client::Answer answer = client.answer();
    const bool closed = answer.status == 200 ? client.ending(300) != Client::Ending::timed_out
                                             : client.closed_by_server();
    return {answer.status, answer.body, closed};
}

// A request whose header fields (after the request line, through the empty line) are `bytes`
// long exactly.
std::string with_field_bytes(std::uint16_t port, std::size_t bytes) {
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const std::string fill_name = "X-Fill: ";
    const std::size_t fill = bytes - host.size() - fill_name.size() - 2 - 2;
    return "GET / HTTP/1.1\r\n" + host + fill_name + std::string(fill, 'f') + "\r\n\r\n";
}

TEST(HttpLimits, ATargetPastEightKibIs414AndClosesTheConnection) {
    Sizes sizes;
    RunningServer running(sizes.handler());
    const std::uint16_t port = running.port();
    const Outcome longest = send_alone(port, get_request(port, "/" + std::string(8191, 'a')));
    EXPECT_EQ(longest.status, 200);
    EXPECT_EQ(longest.body, "8192 0");
    EXPECT_FALSE(longest.closed);

    const Outcome over = send_alone(port, get_request(port, "/" + std::string(8192, 'a')));
    EXPECT_EQ(over.status, 414);
    EXPECT_EQ(over.body, "the request's target is longer than 8192 bytes\n");
    EXPECT_TRUE(over.closed);
    // Measured as it comes: the version's first bytes are no part of the target.
    Client pieces(port);
    pieces.send("GET /" + std::string(8191, 'a') + " HTTP/1.");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pieces.send("1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n");
    EXPECT_EQ(pieces.answer().body, "8192 0");
    // A request line that never ends is refused once it is past the limit, not read on.
    const Outcome endless = send_alone(port, "GET /" + std::string(200 * 1024, 'a'));
    EXPECT_EQ(endless.status, 414);
    EXPECT_TRUE(endless.closed);
    EXPECT_EQ(sizes.calls, 2);
}

TEST(HttpLimits, HeaderFieldsPastSixteenKibAre431) {
    Sizes sizes;
    RunningServer running(sizes.handler());
    const std::uint16_t port = running.port();
    const Outcome most = send_alone(port, with_field_bytes(port, 16 * 1024));
    EXPECT_EQ(most.status, 200);
    const Outcome over = send_alone(port, with_field_bytes(port, 16 * 1024 + 1));
    EXPECT_EQ(over.status, 431);
    EXPECT_EQ(over.body, "the request's header fields are longer than 16384 bytes\n");
    EXPECT_TRUE(over.closed);
    // Fields that never end, and a long target with long fields: each limit alone counts.
    std::string endless = get_request(port, "/");
    endless.resize(endless.size() - 2);
    for (int i = 0; i < 4000; ++i) endless += "X-More: " + std::to_string(i) + "\r\n";
    EXPECT_EQ(send_alone(port, endless).status, 431);
    const std::string both = "GET /" + std::string(8000, 'a') + " HTTP/1.1\r\n" +
                             with_field_bytes(port, 16000).substr(16);
    EXPECT_EQ(send_alone(port, both).status, 200);
    EXPECT_EQ(sizes.calls, 2);
}

TEST(HttpLimits, ABodyPastOneMibIs413WhetherAnnouncedOrChunked) {
    Sizes sizes;
    RunningServer running(sizes.handler());
    const std::uint16_t port = running.port();
    const std::string head =
        "POST /up HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const Outcome most =
        send_alone(port, head + "Content-Length: 1048576\r\n\r\n" + std::string(1 << 20, 'b'));
    EXPECT_EQ(most.status, 200);
    EXPECT_EQ(most.body, "3 1048576");
    // Refused from the header alone: the client need not send the body.
    const Outcome announced = send_alone(port, head + "Content-Length: 1048577\r\n\r\n");
    EXPECT_EQ(announced.status, 413);
    EXPECT_EQ(announced.body, "the request's body is longer than 1048576 bytes\n");
    EXPECT_TRUE(announced.closed);
    std::string chunked = head + "Transfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 17; ++i) chunked += "10000\r\n" + std::string(0x10000, 'c') + "\r\n";
    chunked += "0\r\n\r\n";
    const Outcome streamed = send_alone(port, chunked);
    EXPECT_EQ(streamed.status, 413);
    EXPECT_TRUE(streamed.closed);
    EXPECT_EQ(sizes.calls, 1);
}

TEST(HttpLimits, MalformedRequestsAre400AndTheLimitsAreTheOptions) {
    HttpOptions options;
    options.max_target = 10;
    options.max_header_bytes = 100;
    options.max_body = 4;
    Sizes sizes;
    RunningServer running(sizes.handler(), options);
    const std::uint16_t port = running.port();
    for (const std::string& malformed :
         {std::string("NOT HTTP AT ALL\r\n\r\n"), std::string("GET / HTTP/1.1\r\nHost\r\n\r\n"),
          std::string("GET / HTTP/1.1\r\nContent-Length: x\r\n\r\n")}) {
        const Outcome outcome = send_alone(port, malformed);
        EXPECT_EQ(outcome.status, 400) << malformed;
        EXPECT_EQ(outcome.body.rfind("malformed request: ", 0), 0u) << outcome.body;
        EXPECT_TRUE(outcome.closed);
    }
    EXPECT_EQ(send_alone(port, get_request(port, "/123456789")).status, 200);
    EXPECT_EQ(send_alone(port, get_request(port, "/1234567890")).status, 414);
    EXPECT_EQ(send_alone(port, with_field_bytes(port, 100)).status, 200);
    EXPECT_EQ(send_alone(port, with_field_bytes(port, 101)).status, 431);
    const std::string post =
        "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nContent-Length: ";
    EXPECT_EQ(send_alone(port, post + "4\r\n\r\nabcd").body, "1 4");
    EXPECT_EQ(send_alone(port, post + "5\r\n\r\nabcde").status, 413);
    EXPECT_EQ(sizes.calls, 3);
}

}  // namespace
