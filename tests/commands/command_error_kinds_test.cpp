// Every kind of failure a command ends with, through the commands' own entry points: its one
// line and its exit code, nothing written where nothing may be, and the kind each lower layer's
// error counts as. The lines are the ones the docs and the users see, written out here.
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "host/commands/command.h"
#include "host/commands/command_error.h"
#include "host/commands/scenes_folder.h"
#include "host/image/whole_file.h"
#include "host/loading/module_session.h"
#include "host/render/render_error.h"
#include "host/scene/scene_error.h"
#include "program_run.h"
#include "render_test_support.h"

namespace {

namespace fs = std::filesystem;
using tonemix_test::CommandRun;
using tonemix_test::joined;

const std::vector<std::string> kSmall = {"--width", "8", "--height", "6"};

std::vector<std::string> small_with(std::vector<std::string> more) {
    std::vector<std::string> arguments = kSmall;
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

// The one error line of a run that ended with `status` and printed no result.
std::string failure(int status, const CommandRun& run) {
    EXPECT_EQ(run.status, status) << joined(run.report.errors);
    EXPECT_TRUE(run.report.out_lines.empty()) << joined(run.report.out_lines);
    EXPECT_EQ(run.report.errors.size(), 1u) << joined(run.report.errors);
    return run.error();
}

CommandRun run(tonemix_test::CommandFunction command, const std::vector<std::string>& arguments) {
    return tonemix_test::run_command(command, arguments);
}

TEST(CommandErrorKinds, ABadCommandLineIsExitTwoAndNamesTheOption) {
    tmhost::TemporaryFolder folder;
    const std::string image = (folder.path() / "out.png").string();
    EXPECT_EQ(failure(2, run(tmhost::run_info, {"--bogus"})), "unknown option '--bogus'");
    EXPECT_EQ(failure(2, run(tmhost::run_render, {"--width", "0", "-o", image})),
              "--width: expected a whole number from 1 to 16384, got '0'");
    EXPECT_EQ(failure(2, run(tmhost::run_scene, {})),
              "scene: expected the name of a scene (builtin) or a model file");
    EXPECT_EQ(failure(2, run(tmhost::run_validate, {"--seed", "x"})),
              "--seed: 'x' is not a whole number from 0 to 4294967295");
    EXPECT_EQ(failure(2, run(tmhost::run_sheet, small_with({"-o", image}))),
              "sheet: expected --vary NAME=VALUE,VALUE,... (the names: see describe)");
    // A value the render layer refuses is the command line's fault too.
    EXPECT_EQ(
        failure(2, run(tmhost::run_render, small_with({"--set", "distance=-1", "-o", image}))),
        "--set distance=-1: expected a number from 0 to 100000, got -1");
    EXPECT_FALSE(fs::exists(image));
}

TEST(CommandErrorKinds, AFileOrFolderTheCommandReadsIsExitTwo) {
    tmhost::TemporaryFolder folder;
    const std::string scene =
        folder.write("a.json", "{\n\"width\": 8,\n\"height\": 6,\n  }\n").string();
    const std::string image = (folder.path() / "out.png").string();
    const std::string malformed =
        scene +
        ": line 4, column 3: malformed JSON: syntax error while parsing object key - unexpected "
        "'}'; expected string literal";
    EXPECT_EQ(failure(2, run(tmhost::run_render, {scene, "-o", image})), malformed);
    EXPECT_EQ(failure(2, run(tmhost::run_describe, {scene})), malformed);
    const std::string missing = (folder.path() / "no-such-folder").string();
    EXPECT_EQ(failure(2, run(tmhost::run_serve, {"--scenes", missing})),
              "--scenes " + missing + ": not a folder");
    EXPECT_FALSE(fs::exists(image));
}

TEST(CommandErrorKinds, AModuleThatCannotBeUsedIsExitTwo) {
    tmhost::TemporaryFolder folder;
    const std::string module = (folder.path() / "Tonemix.cdl").string();
    const std::string image = (folder.path() / "out.png").string();
    const std::string line = "module file not found: " + module;
    EXPECT_EQ(failure(2, run(tmhost::run_info, {module})), line);
    EXPECT_EQ(failure(2, run(tmhost::run_render, small_with({"--module", module, "-o", image}))),
              line);
    EXPECT_EQ(failure(2, run(tmhost::run_describe, {"--module", module})), line);
    EXPECT_FALSE(fs::exists(image));
}

TEST(CommandErrorKinds, AnOutputRefusedBeforeTheWorkIsExitTwoAndLeavesTheFileAlone) {
    tmhost::TemporaryFolder folder;
    const std::string before = tmhost::read_file(TONEMIX_MODULE_FILE);
    const std::string module = fs::absolute(TONEMIX_MODULE_FILE).string();
    EXPECT_EQ(failure(2, run(tmhost::run_render, small_with({"-o", module, "--format", "pfm"}))),
              module + ": cannot write: it is the module file");
    EXPECT_EQ(failure(2, run(tmhost::run_validate, {"--junit", module})),
              "validate: the JUnit report " + module + ": cannot write: it is the module file");
    EXPECT_EQ(tmhost::read_file(TONEMIX_MODULE_FILE), before);
    const std::string inside = (folder.path() / "inside.png").string();
    fs::create_directory(inside);
    EXPECT_EQ(
        failure(2, run(tmhost::run_sheet, small_with({"--vary", "samples=1,2", "-o", inside}))),
        inside + ": is a folder, not an image file");
    EXPECT_TRUE(fs::is_empty(inside));
}

#if !defined(_WIN32)
// A port that another socket of this process listens on.
class BusyPort {
public:
    BusyPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(socket_, 1) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~BusyPort() {
        if (socket_ >= 0) ::close(socket_);
    }
    BusyPort(const BusyPort&) = delete;
    BusyPort& operator=(const BusyPort&) = delete;

    int port() const { return port_; }

private:
    int socket_;
    int port_ = 0;
};

TEST(CommandErrorKinds, WhatThisHostCannotDoHereIsExitTwo) {
    const BusyPort busy;
    ASSERT_NE(busy.port(), 0);
    const std::string port = std::to_string(busy.port());
    EXPECT_EQ(failure(2, run(tmhost::run_serve, {"--port", port, "--no-token"})),
              "serve: port " + port + ": Address already in use");
}
#endif

TEST(CommandErrorKinds, OnlyAResultLostOnTheWayOutEndsWithExitOne) {
    using tmhost::ErrorKind;
    for (const ErrorKind kind : {ErrorKind::usage, ErrorKind::input, ErrorKind::not_found,
                                 ErrorKind::module, ErrorKind::output_refused, ErrorKind::host,
                                 ErrorKind::out_of_memory, ErrorKind::unexpected}) {
        EXPECT_EQ(tmhost::exit_code_of(kind), 2) << static_cast<int>(kind);
    }
    EXPECT_EQ(tmhost::exit_code_of(ErrorKind::output_lost), 1);
}

// The kind and the message of what `thrown` throws, as an entry point reads it.
template <class Action>
tmhost::Failure read_back(Action thrown) {
    try {
        thrown();
    } catch (const std::exception&) {
        return tmhost::failure_in_flight();
    }
    ADD_FAILURE() << "nothing was thrown";
    return {};
}

TEST(CommandErrorKinds, EachLayersErrorCountsAsItsKindAndKeepsItsLine) {
    using tmhost::ErrorKind;
    const struct {
        tmhost::Failure failure;
        ErrorKind kind;
        const char* what;
    } cases[] = {
        {read_back([] { throw tmhost::UsageError("u"); }), ErrorKind::usage, "u"},
        {read_back([] { throw tmhost::InputError("i"); }), ErrorKind::input, "i"},
        {read_back([] { throw tmhost::NoSuchScene("n"); }), ErrorKind::not_found, "n"},
        {read_back([] { throw tmhost::OutputRefused("r"); }), ErrorKind::output_refused, "r"},
        {read_back([] { throw tmhost::OutputLost("l"); }), ErrorKind::output_lost, "l"},
        {read_back([] { throw tmhost::HostError("h"); }), ErrorKind::host, "h"},
        {read_back([] { throw tmhost::RenderError("--set x"); }), ErrorKind::usage, "--set x"},
        {read_back([] { throw tmhost::SceneError("a.json: line 1"); }), ErrorKind::input,
         "a.json: line 1"},
        {read_back([] { throw tmhost::ModuleError("no shader"); }), ErrorKind::module, "no shader"},
        {read_back([] { throw std::bad_alloc(); }), ErrorKind::out_of_memory, "std::bad_alloc"},
        // A file error that no command turned into a kind of its own is a fault nobody foresaw.
        {read_back([] { throw tmhost::FileError("f"); }), ErrorKind::unexpected, "f"},
        {read_back([] { throw std::logic_error("[json.exception.type_error.316] x"); }),
         ErrorKind::unexpected, "[json.exception.type_error.316] x"},
    };
    for (const auto& one : cases) {
        EXPECT_EQ(one.failure.kind, one.kind) << one.what;
        EXPECT_EQ(one.failure.what, one.what);
    }
}

TEST(CommandErrorKinds, HelpIsAnsweredBeforeAnyValueIsRead) {
    // A value that would be refused does not stop --help: the usage is asked for.
    for (const auto& [command, arguments] :
         std::vector<std::pair<tonemix_test::CommandFunction, std::vector<std::string>>>{
             {tmhost::run_render, {"--width", "x", "--help"}},
             {tmhost::run_sheet, {"-h", "--lanes", "3", "--shared-node"}},
             {tmhost::run_validate, {"--seed", "x", "--help"}},
             {tmhost::run_info, {"/no/such/module.cdl", "--help"}}}) {
        const CommandRun help = run(command, arguments);
        EXPECT_EQ(help.status, 0) << joined(help.report.errors);
        EXPECT_TRUE(help.report.errors.empty()) << joined(help.report.errors);
        ASSERT_FALSE(help.report.out_lines.empty());
        EXPECT_EQ(help.report.out_lines[0].rfind("usage: tonemix-host ", 0), 0u);
    }
    // The line must parse for its --help to be seen.
    EXPECT_EQ(failure(2, run(tmhost::run_render, {"a.json", "b.json", "--help"})),
              "more than one scene file: 'a.json' and 'b.json'");
}

#if defined(__linux__)
TEST(CommandErrorKinds, TheProgramEndsWithTheKindsExitCodeAndItsLineOnStderr) {
    if (!fs::exists(tonemix_test::host_program())) GTEST_SKIP() << "tonemix-host not built";
    const tonemix_test::ProgramRun usage =
        tonemix_test::run_program("render --width 0 2>&1 >/dev/null");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(joined(usage.lines),
              "tonemix-host: --width: expected a whole number from 1 to 16384, got '0'\n");
    const tonemix_test::ProgramRun module =
        tonemix_test::run_program("info /no/such/Tonemix.cdl 2>&1 >/dev/null");
    EXPECT_EQ(module.status, 2);
    EXPECT_EQ(joined(module.lines), "tonemix-host: module file not found: /no/such/Tonemix.cdl\n");
}
#endif

}  // namespace
