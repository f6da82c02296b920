// tonemix-host serve as a page meets it, through Boost.Beast's own client against the program in a
// child process: the page, the parameters as describe --json gives them, renders, sheets and
// scene files byte for byte the command line's, refusals (bad values, scenes outside the folder,
// foreign Host headers), many clients at once, a newer render cancelling the older, a client
// that goes away mid-render, and stopping with the module's books balanced.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "serve_client.h"

#if defined(__linux__)

namespace {

using namespace tonemix_test::serve;

TEST_F(ServeTest, ThePageTheParametersAndTheirEnablingAsDescribeGivesThem) {
    start();
    EXPECT_EQ(first_line_, "serving http://127.0.0.1:" + std::to_string(port_) +
                               "/ (no token: any local program may drive it); Ctrl-C stops\n");
    const Reply page = get(port_, "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("<!doctype html>"), std::string::npos);
    // Offline: nothing the page loads comes from elsewhere.
    EXPECT_EQ(page.body.find("http://"), std::string::npos);
    EXPECT_EQ(page.body.find("https://"), std::string::npos);

    const tonemix_test::ProgramRun described = tonemix_test::run_program("describe --json");
    ASSERT_EQ(described.status, 0);
    EXPECT_EQ(get(port_, "/api/parameters").body, tonemix_test::joined(described));
    const std::string scene = tonemix_test::source_path("scenes/light_list_include.json");
    const tonemix_test::ProgramRun with_values = tonemix_test::run_program(
        "describe '" + scene + "' --json --set samples=4 --set lights=green");
    EXPECT_EQ(get(port_,
                  "/api/parameters?scene=light_list_include.json&set=samples%3D4&set="
                  "lights%3Dgreen")
                  .body,
              tonemix_test::joined(with_values));

    // jitter matters only when the points line up along the normal.
    auto jitter_enabled = [&](int mode) {
        const json list =
            get_json(port_, "/api/parameters?set=mode%3D" + std::to_string(mode))["parameters"];
        for (const json& parameter : list) {
            if (parameter["short_name"] == "jitter") return parameter["enabled"].get<bool>();
        }
        ADD_FAILURE() << "no jitter";
        return false;
    };
    EXPECT_FALSE(jitter_enabled(0));
    EXPECT_TRUE(jitter_enabled(1));

    const json scene_answer = get_json(port_, "/api/scene?scene=light_list_include.json");
    EXPECT_EQ(scene_answer["lights"], json({"red", "green", "blue"}));
    EXPECT_EQ(scene_answer["width"], 360);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, RendersSheetsExposuresAndSceneFilesAreTheCommandLinesBytes) {
    start();
    const std::string values = "--set samples=4 --set distance=0.5";
    const json answer = get_json(port_,
                                 "/api/render?client=a&width=48&height=27&set=samples%3D4&"
                                 "set=distance%3D0.5");
    EXPECT_EQ(answer["command"], "tonemix-host render --width 48 --height 27 " + values);
    const std::string id = answer["image"];
    EXPECT_EQ(get(port_, "/api/image?id=" + id).body,
              cli_image("render", "--width 48 --height 27 " + values));
    // The exposure only encodes the kept image anew; the float image keeps its values.
    EXPECT_EQ(get(port_, "/api/image?id=" + id + "&exposure=1.5").body,
              cli_image("render", "--width 48 --height 27 " + values + " --exposure 1.5"));
    const Reply exr = get(port_, "/api/image?id=" + id + "&format=exr&download=1");
    EXPECT_EQ(exr.body, cli_image("render", "--width 48 --height 27 " + values, "exr"));
    EXPECT_EQ(exr.disposition, "attachment; filename=\"tonemix.exr\"");

    const json sheet = get_json(port_,
                                "/api/sheet?client=a&width=24&set=offset%3D0.1&vary="
                                "samples%3D1%2C4");
    EXPECT_EQ(sheet["command"],
              "tonemix-host sheet --width 24 --set offset=0.1 --vary samples=1,4");
    EXPECT_EQ(get(port_, "/api/image?id=" + sheet["image"].get<std::string>()).body,
              cli_image("sheet", "--width 24 --set offset=0.1 --vary samples=1,4"));

    // The scene file with the page's values, light list and its mode among them, renders as the
    // page did; its mesh stays found from wherever the file is saved.
    const std::string query =
        "scene=light_list_include.json&set=samples%3D4&set=lights%3Dgreen%2C"
        "red&set=list_mode%3D1";
    const std::string scene = tonemix_test::source_path("scenes/light_list_include.json");
    const std::string page_png = rendered_png(port_, "/api/render?width=36&" + query);
    EXPECT_EQ(page_png, cli_image("render", "'" + scene +
                                                "' --width 36 --set samples=4 --set "
                                                "lights=green,red --set list_mode=1"));
    const Reply file = get(port_, "/api/scene-file?" + query);
    EXPECT_EQ(file.disposition, "attachment; filename=\"light_list_include-tonemix.json\"");
    const std::string saved = (folder_.path() / "saved.json").string();
    tmhost::replace_file(saved, file.body);
    EXPECT_EQ(cli_image("render", "'" + saved + "' --width 36"), page_png);
    const json written = json::parse(file.body);
    EXPECT_EQ(written["light_list"], json({{"mode", "exclude"}, {"lights", {"green", "red"}}}));

    const Reply mesh = get(port_, "/api/scene-file?scene=mesh_icosphere.json");
    const std::string moved = (folder_.path() / "mesh.json").string();
    tmhost::replace_file(moved, mesh.body);
    EXPECT_FALSE(cli_image("render", "'" + moved + "' --width 8").empty());
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, BadValuesScenesOutsideTheFolderAndForeignHostsAreRefused) {
    tmhost::TemporaryFolder scenes;
    tmhost::TemporaryFolder outside;
    const std::string text =
        tmhost::read_file(tonemix_test::source_path("scenes/box_on_plane.json"));
    tmhost::replace_file((scenes.path() / "inside.json").string(), text);
    tmhost::replace_file((outside.path() / "secret.json").string(), text);
    std::filesystem::create_symlink(outside.path() / "secret.json", scenes.path() / "link.json");
    std::filesystem::create_directory(scenes.path() / "sub");
    tmhost::replace_file((scenes.path() / "sub" / "deep.json").string(), text);
    start({"--scenes", scenes.path().string()});

    const json listed = get_json(port_, "/api/scenes");
    EXPECT_EQ(listed["scenes"], json::parse(R"([{"id":"builtin","label":"built-in scene"},
                                                {"id":"inside.json","label":"inside.json"}])"));
    EXPECT_EQ(get(port_, "/api/scene?scene=inside.json").status, 200);
    for (const std::string id : {"link.json", "..%2Fsecret.json", "sub%2Fdeep.json",
                                 "%2Fetc%2Fpasswd", "missing.json", "."}) {
        const Reply refused = get(port_, "/api/render?scene=" + id);
        EXPECT_EQ(refused.status, 404) << id;
        EXPECT_EQ(refused.body.rfind("no scene '", 0), 0u) << refused.body;
    }

    const Reply bad = get(port_, "/api/render?set=samples%3D-1");
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(bad.body, "--set samples=-1: expected a whole number from 0 to 1024, got -1\n");
    EXPECT_EQ(get(port_, "/api/parameters?set=lights%3Dnone").status, 400);
    const Reply unknown = get(port_, "/api/render?colour=red");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.body, "unknown query parameter 'colour'\n");
    EXPECT_EQ(get(port_, "/api/image?id=999").status, 404);
    EXPECT_EQ(get(port_, "/api/image?id=1&exposure=99").status, 404);
    const Reply foreign = get(port_, "/", "attacker.example:" + std::to_string(port_));
    EXPECT_EQ(foreign.status, 421);
    EXPECT_EQ(get(port_, "/", "localhost:" + std::to_string(port_)).status, 200);
    EXPECT_EQ(get(port_, "/etc/passwd").status, 404);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, TwentyClientsAtOnceEachGetTheirOwnRender) {
    start();
    std::vector<std::string> expected;
    for (int samples = 1; samples <= 4; ++samples) {
        expected.push_back(
            cli_image("render", "--width 32 --set samples=" + std::to_string(samples)));
    }
    std::vector<std::string> got(20);
    std::vector<std::thread> clients;
    for (int i = 0; i < 20; ++i) {
        clients.emplace_back([&, i] {
            // Half name themselves; a request without a client cancels no other either.
            const std::string client = i % 2 == 0 ? "client=c" + std::to_string(i) + "&" : "";
            got[static_cast<std::size_t>(i)] =
                rendered_png(port_, "/api/render?" + client + "width=32&set=samples%3D" +
                                        std::to_string(i % 4 + 1));
        });
    }
    for (std::thread& client : clients) client.join();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(got[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i % 4)])
            << "client " << i;
    }
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, ANewerRenderOfAClientCancelsTheOlder) {
    start();
    Reply older;
    std::thread first([&] { older = get(port_, std::string(kLongRender) + "&client=a"); });
    ASSERT_TRUE(eventually([&] { return rows_done("a") > 0; }));
    const json newer = get_json(port_, "/api/render?client=a&width=8");
    first.join();
    EXPECT_EQ(older.status, 409);
    EXPECT_EQ(older.body, "cancelled\n");
    EXPECT_EQ(newer["width"], 8);
    EXPECT_FALSE(running("a"));
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

// A page's requests travel on several connections: one it sent earlier may arrive later, and
// must then neither run nor cancel the newer one.
TEST_F(ServeTest, AnOvertakenRequestOfAClientIsRefusedAndCancelsNothing) {
    start();
    Reply running_render;
    std::thread first(
        [&] { running_render = get(port_, std::string(kLongRender) + "&client=a&order=7"); });
    ASSERT_TRUE(eventually([&] { return rows_done("a") > 0; }));
    const Reply overtaken = get(port_, "/api/render?client=a&order=6&width=8");
    EXPECT_EQ(overtaken.status, 409);
    EXPECT_TRUE(running("a"));
    // The same order again is no older, and replaces the render.
    EXPECT_EQ(get_json(port_, "/api/render?client=a&order=7&width=8")["width"], 8);
    first.join();
    EXPECT_EQ(running_render.status, 409);
    EXPECT_EQ(get(port_, "/api/render?client=a&order=3&width=8").status, 409);
    // Another client's order is its own.
    EXPECT_EQ(get_json(port_, "/api/render?client=b&order=1&width=8")["width"], 8);
    for (const std::string bad : {"-1", "x", "", "1.5", "99999999999999999999999"}) {
        const Reply refused = get(port_, "/api/render?client=c&width=8&order=" + bad);
        EXPECT_EQ(refused.status, 400) << bad;
        EXPECT_EQ(refused.body, "order=" + bad + ": not a whole number 0 or more\n");
    }
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

// The render stops once its client has gone, gives its nodes back, and the module ends with
// nothing left behind: serve reports anything left as "module: ..." and exit 1.
TEST_F(ServeTest, AClientThatGoesAwayMidRenderLeavesNothingBehind) {
    start();
    {
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port_)});
        http::write(socket, request_for(port_, std::string(kLongRender) + "&client=gone", ""));
        ASSERT_TRUE(eventually([&] { return rows_done("gone") > 0; }));
    }
    ASSERT_TRUE(eventually([&] { return !running("gone"); }));
    // The server goes on serving.
    EXPECT_FALSE(rendered_png(port_, "/api/render?width=8").empty());
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, CtrlCMidRenderEndsItAndStopsCleanly) {
    start();
    std::thread client([&] {
        try {
            get(port_, std::string(kLongThinRender) + "&client=c");
        } catch (const std::exception&) {
            // The answer may be cut off by the stop; only the exit matters here.
        }
    });
    ASSERT_TRUE(eventually([&] { return rows_done("c") > 0; }));
    EXPECT_EQ(stop(SIGINT), 0);
    client.join();
    EXPECT_EQ(errors(), "");
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
