// tonemix-host serve as a browser meets it, through Boost.Beast's own client: the page, the
// parameters as describe --json gives them, a render byte for byte the command line's, one line
// with status 400 for a bad value, no answer for a foreign Host, and a clean stop.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "host/image/whole_file.h"
#include "program_run.h"
#include "render_test_support.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

struct Reply {
    int status = 0;
    std::string body;
};

Reply get(unsigned port, const std::string& target, const std::string& host = "") {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)});
    http::request<http::empty_body> request{http::verb::get, target, 11};
    request.set(http::field::host, host.empty() ? "127.0.0.1:" + std::to_string(port) : host);
    http::write(socket, request);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 << 20);
    http::read(socket, buffer, parser);
    return {static_cast<int>(parser.get().result_int()), parser.get().body()};
}

// tonemix-host serve in a child, and the port its first line names.
class ServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(tonemix_test::host_program())) {
            GTEST_SKIP() << "tonemix-host not built";
        }
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        child_ = fork();
        ASSERT_GE(child_, 0);
        if (child_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            const std::string program = tonemix_test::host_program().string();
            execl(program.c_str(), program.c_str(), "serve", "--port", "0",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::FILE* lines = fdopen(out[0], "r");
        char line[256] = {};
        ASSERT_NE(std::fgets(line, sizeof line, lines), nullptr);
        first_line_ = line;
        std::fclose(lines);
        ASSERT_EQ(std::sscanf(line, "serving http://127.0.0.1:%u/", &port_), 1) << line;
    }

    void TearDown() override {
        if (child_ > 0 && !stopped_) stop();
    }

    // SIGTERM, as a service manager stops it: the exit status.
    int stop() {
        stopped_ = true;
        kill(child_, SIGTERM);
        int status = 0;
        waitpid(child_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t child_ = -1;
    unsigned port_ = 0;
    std::string first_line_;
    bool stopped_ = false;
};

TEST_F(ServeTest, ThePageTheParametersAndARenderAsTheCommandLineGivesThem) {
    EXPECT_EQ(first_line_,
              "serving http://127.0.0.1:" + std::to_string(port_) + "/; Ctrl-C stops\n");
    const Reply page = get(port_, "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("<!doctype html>"), std::string::npos);

    const tonemix_test::ProgramRun described = tonemix_test::run_program("describe --json");
    ASSERT_EQ(described.status, 0);
    EXPECT_EQ(get(port_, "/api/parameters").body, tonemix_test::joined(described));

    tmhost::TemporaryFolder folder;
    const std::string file = (folder.path() / "cli.png").string();
    ASSERT_EQ(
        tonemix_test::run_program("render --width 24 --set samples=4 --set distance=0.5 -o '" +
                                  file + "' >/dev/null")
            .status,
        0);
    const Reply render = get(port_, "/api/render.png?width=24&set=samples%3D4&set=distance%3D0.5");
    EXPECT_EQ(render.status, 200);
    EXPECT_EQ(render.body, tmhost::read_file(file));
    EXPECT_EQ(stop(), 0);
}

TEST_F(ServeTest, BadValuesForeignHostsAndUnknownPagesAreRefused) {
    const Reply bad = get(port_, "/api/render.png?set=samples%3D-1");
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(bad.body, "--set samples=-1: expected a whole number from 0 to 1024, got -1\n");
    const Reply unknown = get(port_, "/api/render.png?colour=red");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.body, "unknown query parameter 'colour'\n");
    const Reply foreign = get(port_, "/", "attacker.example:" + std::to_string(port_));
    EXPECT_EQ(foreign.status, 421);
    EXPECT_EQ(get(port_, "/", "localhost:" + std::to_string(port_)).status, 200);
    EXPECT_EQ(get(port_, "/etc/passwd").status, 404);
    EXPECT_EQ(stop(), 0);
}

TEST(Serve, APortInUseIsOneLineAndExitTwo) {
    if (!std::filesystem::exists(tonemix_test::host_program())) GTEST_SKIP() << "not built";
    asio::io_context io;
    asio::ip::tcp::acceptor taken(io, {asio::ip::make_address("127.0.0.1"), 0});
    const unsigned port = taken.local_endpoint().port();
    const tonemix_test::ProgramRun run =
        tonemix_test::run_program("serve --port " + std::to_string(port) + " 2>&1");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(tonemix_test::joined(run),
              "tonemix-host: serve: port " + std::to_string(port) + ": Address already in use\n");
}

}  // namespace
#endif
