// tonemix-host serve as a page or a script meets it: Boost.Beast's own client against the program
// in a child process, which a test starts with the options it needs and stops with a signal.
#ifndef TONEMIX_TEST_SERVE_CLIENT_H
#define TONEMIX_TEST_SERVE_CLIENT_H

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>

#include "host/image/whole_file.h"
#include "program_run.h"
#include "render_test_support.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tonemix_test::serve {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using nlohmann::json;

struct Reply {
    int status = 0;
    std::string body;
    std::string disposition;
    std::string set_cookie;
};

using Headers = std::vector<std::pair<std::string, std::string>>;  // name, value

inline http::request<http::empty_body> request_for(unsigned port, const std::string& target,
                                                   const std::string& host) {
    http::request<http::empty_body> request{http::verb::get, target, 11};
    request.set(http::field::host, host.empty() ? "127.0.0.1:" + std::to_string(port) : host);
    return request;
}

// A GET with `headers` beside the Host header (`host`, or the server's own address).
inline Reply get_with(unsigned port, const std::string& target, const Headers& headers,
                      const std::string& host = "") {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)});
    http::request<http::empty_body> request = request_for(port, target, host);
    for (const auto& [name, value] : headers) request.set(name, value);
    http::write(socket, request);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 << 20);
    http::read(socket, buffer, parser);
    return {static_cast<int>(parser.get().result_int()), parser.get().body(),
            std::string(parser.get()[http::field::content_disposition]),
            std::string(parser.get()[http::field::set_cookie])};
}

inline Reply get(unsigned port, const std::string& target, const std::string& host = "") {
    return get_with(port, target, {}, host);
}

inline json get_json(unsigned port, const std::string& target) {
    const Reply reply = get(port, target);
    EXPECT_EQ(reply.status, 200) << target << ": " << reply.body;
    return json::parse(reply.body, nullptr, false);
}

// The PNG of a render answer's image.
inline std::string rendered_png(unsigned port, const std::string& target) {
    const json answer = get_json(port, target);
    if (!answer.contains("image")) return "";
    return get(port, "/api/image?id=" + answer["image"].get<std::string>()).body;
}

// What the command line writes for `arguments` (a shell's words, the output left out).
inline std::string cli_image(const std::string& command, const std::string& arguments,
                             const std::string& extension = "png") {
    tmhost::TemporaryFolder folder;
    const std::string file = (folder.path() / ("cli." + extension)).string();
    const int status =
        tonemix_test::run_program(command + " " + arguments + " -o '" + file + "' >/dev/null")
            .status;
    EXPECT_EQ(status, 0) << command << " " << arguments;
    return status == 0 ? tmhost::read_file(file) : "";
}

// Waits up to a minute, however slow the machine or its emulator, for `done`.
template <typename Done>
bool eventually(Done done) {
    for (int i = 0; i < 1200; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A render long enough to be caught running: about a minute natively.
const char* const kLongRender = "/api/render?width=640&height=360&set=samples%3D1024";
// As long, in rows a twentieth as long: a stop, which waits for the rows being shaded, comes
// within its grace under an emulator and a sanitizer too.
const char* const kLongThinRender = "/api/render?width=32&height=7200&set=samples%3D1024";

// tonemix-host serve in a child, the port its first line names, and its standard error.
class ServeTest : public ::testing::Test {
protected:
    // Without a token unless `token`: a script's way, which most tests take.
    void start(const std::vector<std::string>& extra = {}, bool token = false) {
        if (!std::filesystem::exists(tonemix_test::host_program())) {
            GTEST_SKIP() << "tonemix-host not built";
        }
        errors_file_ = (folder_.path() / "stderr.txt").string();
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        child_ = fork();
        ASSERT_GE(child_, 0);
        if (child_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            const int errors = open(errors_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(errors, STDERR_FILENO);
            close(out[0]);
            const std::string program = tonemix_test::host_program().string();
            std::vector<std::string> words = {program, "serve", "--port", "0"};
            if (!token) words.push_back("--no-token");
            words.insert(words.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (std::string& word : words) argv.push_back(word.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        std::FILE* lines = fdopen(out[0], "r");
        char line[256] = {};
        const bool got = std::fgets(line, sizeof line, lines) != nullptr;
        std::fclose(lines);
        ASSERT_TRUE(got) << errors();
        first_line_ = line;
        ASSERT_EQ(std::sscanf(line, "serving http://127.0.0.1:%u/", &port_), 1) << line;
    }

    void TearDown() override {
        if (child_ > 0 && !stopped_) stop();
    }

    // A signal, as a service manager (SIGTERM) or Ctrl-C (SIGINT) stops it: the exit status.
    int stop(int signal = SIGTERM) {
        stopped_ = true;
        kill(child_, signal);
        int status = 0;
        waitpid(child_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string errors() const { return tmhost::read_file(errors_file_); }

    bool running(const std::string& client) {
        return get_json(port_, "/api/progress?client=" + client)["running"] == true;
    }
    long rows_done(const std::string& client) {
        return get_json(port_, "/api/progress?client=" + client)["done"].get<long>();
    }

    tmhost::TemporaryFolder folder_;
    std::string errors_file_;
    pid_t child_ = -1;
    unsigned port_ = 0;
    std::string first_line_;
    bool stopped_ = false;
};

}  // namespace tonemix_test::serve

#endif
#endif
