// Handlers that take their time, on the pools: client_gone turns true when the client closes or
// resets mid-handler (and not for bytes of its next request), quick requests are answered while
// every long thread is taken, and a stop lets running handlers answer, refuses queued requests
// without running them and closes idle connections at once.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

#include "http_test_client.h"

namespace {

using tmhost::HttpOptions;
using tmhost::HttpRequest;
using tonemix_test::ask;
using tonemix_test::Client;
using tonemix_test::eventually;
using tonemix_test::get_request;
using tonemix_test::RunningServer;
using tonemix_test::text_answer;

// Holds every handler that enters until opened; counts them, and how many ran at once.
class Gate {
public:
    void pass(const HttpRequest& request) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++entered_;
        ++inside_;
        most_inside_ = std::max(most_inside_, inside_);
        gone_.push_back(request.client_gone);
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        --inside_;
    }
    void open() {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool wait_entered(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(1), [&] { return entered_ >= count; });
    }
    int entered() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return entered_;
    }
    int most_inside() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return most_inside_;
    }
    // The client_gone of the nth handler that entered, asked from the test's own thread.
    std::function<bool()> gone(std::size_t n) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return gone_.at(n);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int entered_ = 0;
    int inside_ = 0;
    int most_inside_ = 0;
    std::vector<std::function<bool()>> gone_;
};

TEST(HttpHandlers, ClientGoneTurnsTrueWhenTheClientClosesOrResetsMidHandler) {
    Gate gate;
    RunningServer running([&](const HttpRequest& request) {
        gate.pass(request);
        return text_answer("answered " + request.target);
    });
    const std::uint16_t port = running.port();

    Client closing(port);
    closing.send(get_request(port, "/a"));
    ASSERT_TRUE(gate.wait_entered(1));
    // The next request's bytes while the handler runs are no close, and are kept.
    Client staying(port);
    staying.send(get_request(port, "/b"));
    ASSERT_TRUE(gate.wait_entered(2));
    staying.send(get_request(port, "/c"));
    Client resetting(port);
    resetting.send(get_request(port, "/d"));
    ASSERT_TRUE(gate.wait_entered(3));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(gate.gone(0)());
    EXPECT_FALSE(gate.gone(1)());
    EXPECT_FALSE(gate.gone(2)());

    closing.close();
    resetting.reset();
    EXPECT_TRUE(eventually([&] { return gate.gone(0)(); }));
    EXPECT_TRUE(eventually([&] { return gate.gone(2)(); }));
    EXPECT_FALSE(gate.gone(1)());
    gate.open();
    EXPECT_EQ(staying.answer().body, "answered /b");
    EXPECT_EQ(staying.answer().body, "answered /c");
    EXPECT_TRUE(eventually([&] { return running.server().open_connections() == 1; }));
    // Asked after its handler has returned, it still answers.
    EXPECT_TRUE(gate.gone(0)());
}

TEST(HttpHandlers, AQuickRequestIsAnsweredWhileEveryLongThreadIsTaken) {
    Gate gate;
    HttpOptions options;
    options.long_threads = 2;
    options.quick_threads = 1;
    options.is_quick = [](const HttpRequest& request) {
        return request.target.rfind("/quick", 0) == 0;
    };
    RunningServer running(
        [&](const HttpRequest& request) {
            if (request.target != "/quick") gate.pass(request);
            return text_answer(request.target);
        },
        options);
    const std::uint16_t port = running.port();
    std::vector<std::unique_ptr<Client>> slow;
    for (int i = 0; i < 4; ++i) {
        slow.push_back(std::make_unique<Client>(port));
        slow.back()->send(get_request(port, "/slow" + std::to_string(i)));
    }
    ASSERT_TRUE(gate.wait_entered(2));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ask(port, get_request(port, "/quick")).body, "/quick");
    EXPECT_EQ(gate.entered(), 2);  // the other two wait in the long pool's queue
    gate.open();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(slow[static_cast<std::size_t>(i)]->answer().status, 200);
    EXPECT_EQ(gate.most_inside(), 2);
}

TEST(HttpHandlers, AStopLetsARunningHandlerAnswerAndRefusesWhatWaits) {
    Gate gate;
    std::atomic<int> handled{0};
    HttpOptions options;
    options.long_threads = 1;
    RunningServer running(
        [&](const HttpRequest& request) {
            gate.pass(request);
            ++handled;
            return text_answer("finished");
        },
        options);
    const std::uint16_t port = running.port();
    Client running_one(port);
    running_one.send(get_request(port, "/render"));
    ASSERT_TRUE(gate.wait_entered(1));
    Client waiting(port);
    waiting.send(get_request(port, "/queued"));
    Client idle(port);
    Client half(port);
    half.send("GET /half HTTP/1.1\r\n");
    ASSERT_TRUE(eventually([&] { return running.server().open_connections() == 4; }));

    running.server().stop();
    // Closed at once, while the handler still runs.
    EXPECT_TRUE(idle.closed_by_server());
    EXPECT_TRUE(half.closed_by_server());
    gate.open();
    const Client::Answer answer = running_one.answer();
    EXPECT_EQ(answer.body, "finished");
    EXPECT_EQ(answer.field("Connection"), "close");
    EXPECT_TRUE(running_one.closed_by_server());
    const Client::Answer refused = waiting.answer();
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.body, "the server is stopping\n");
    running.stop();  // run() returns
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(running.server().open_connections(), 0u);
}

TEST(HttpHandlers, StopBeforeRunAndStopBySignal) {
    tmhost::HttpServer early(0, [](const HttpRequest&) { return text_answer(""); });
    early.stop();
    early.run();  // returns at once

    std::atomic<bool> on_stop_called{false};
    {
        tmhost::HttpServer server(0, [](const HttpRequest&) { return text_answer("up"); });
        server.stop_on_signals([&] { on_stop_called = true; });
        std::thread serving([&] { server.run(); });
        const std::uint16_t port = server.port();
        EXPECT_EQ(ask(port, get_request(port, "/")).body, "up");
        // To the process, as a service manager sends it, not to this thread alone.
        kill(getpid(), SIGTERM);
        serving.join();
        EXPECT_TRUE(on_stop_called);
    }
}

}  // namespace
