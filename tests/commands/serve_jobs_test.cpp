// tonemix-host serve as a server that holds up: only the page the user opened (its token, its own
// origin) drives it, a scene and its mesh are read once and again only when they change on disk,
// the passes of a converging image end in the command line's image byte for byte, a running
// render shows its rows and can be stopped, one request cannot ask for hours of work, and
// thousands of idle connections neither end it nor cost it much memory.
#include <sys/inotify.h>
#include <sys/resource.h>

#include <fstream>
#include <regex>

#include "image_decoders.h"
#include "serve_client.h"

#if defined(__linux__)

namespace {

using namespace tonemix_test::serve;

// The token in serve's first line, "serving http://127.0.0.1:PORT/?token=T; Ctrl-C stops".
std::string token_of(const std::string& first_line) {
    std::smatch found;
    return std::regex_search(first_line, found, std::regex(R"(/\?token=([0-9a-f]+); )"))
               ? found[1].str()
               : "";
}

TEST_F(ServeTest, OnlyTheTokenAndThePagesOwnOriginDriveTheServer) {
    start({}, true);
    const std::string token = token_of(first_line_);
    ASSERT_GE(token.size(), 32u) << first_line_;
    const std::string origin = "http://127.0.0.1:" + std::to_string(port_);

    for (const char* target : {"/", "/api/scenes", "/api/render?width=8"}) {
        const Reply refused = get(port_, target);
        EXPECT_EQ(refused.status, 403) << target;
        EXPECT_EQ(refused.body.find(token), std::string::npos) << "the answer shows the token";
    }
    EXPECT_EQ(get(port_, "/api/scenes?token=" + token.substr(1)).status, 403);

    // The first visit brings the token in the address; the page's cookie carries it after.
    const Reply visit = get(port_, "/?token=" + token);
    EXPECT_EQ(visit.status, 200);
    EXPECT_NE(visit.set_cookie.find("=" + token), std::string::npos) << visit.set_cookie;
    EXPECT_NE(visit.set_cookie.find("SameSite=Strict"), std::string::npos) << visit.set_cookie;
    const std::string cookie = visit.set_cookie.substr(0, visit.set_cookie.find(';'));
    EXPECT_EQ(get_with(port_, "/api/scenes", {{"Cookie", cookie}}).status, 200);
    // A script's ways: the query parameter (not an unknown parameter to the server) or a header.
    EXPECT_EQ(get(port_, "/api/render?width=8&token=" + token).status, 200);
    EXPECT_EQ(get_with(port_, "/api/scenes", {{"Authorization", "token " + token}}).status, 200);

    // Another site's page, even with the token (a cookie goes with requests to any port).
    auto with = [&](const std::string& name, const std::string& value) {
        return get_with(port_, "/api/render?width=8", {{"Cookie", cookie}, {name, value}}).status;
    };
    EXPECT_EQ(with("Origin", "https://elsewhere.example"), 403);
    EXPECT_EQ(with("Origin", "http://127.0.0.1:1"), 403);
    EXPECT_EQ(with("Sec-Fetch-Site", "cross-site"), 403);
    EXPECT_EQ(with("Sec-Fetch-Site", "same-site"), 403);
    EXPECT_EQ(with("Origin", origin), 200);
    EXPECT_EQ(with("Sec-Fetch-Site", "same-origin"), 200);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

// Counts the opens of one file from outside the server.
class OpenCount {
public:
    explicit OpenCount(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK)) {
        // Closes watched too: inotify folds an event into the one before it when they are alike
        // and unread, and an open then a close is never alike.
        if (fd_ >= 0) inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE);
    }
    ~OpenCount() {
        if (fd_ >= 0) close(fd_);
    }
    bool ready() const { return fd_ >= 0; }
    int opens() {
        alignas(inotify_event) char events[4096];
        for (;;) {
            const ssize_t got = read(fd_, events, sizeof events);
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if ((event->mask & IN_OPEN) != 0) ++opens_;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return opens_;
    }

private:
    int fd_;
    int opens_ = 0;
};

TEST_F(ServeTest, AMeshIsReadOnceOverTenChangesAndAgainWhenItsFileChanges) {
    tmhost::TemporaryFolder scenes;
    const std::string mesh = (scenes.path() / "mesh.obj").string();
    tmhost::replace_file(
        mesh, tmhost::read_file(tonemix_test::source_path("scenes/meshes/icosphere.obj")));
    std::string text = tmhost::read_file(tonemix_test::source_path("scenes/mesh_icosphere.json"));
    const std::string named = "meshes/icosphere.obj";
    ASSERT_NE(text.find(named), std::string::npos);
    for (std::size_t at = text.find(named); at != std::string::npos; at = text.find(named)) {
        text.replace(at, named.size(), "mesh.obj");
    }
    const std::string scene = (scenes.path() / "ball.json").string();
    tmhost::replace_file(scene, text);
    OpenCount count(mesh);
    ASSERT_TRUE(count.ready());
    start({scene});

    const json first = get_json(port_, "/api/scene?scene=ball.json");
    // Two objects of the scene are the one mesh: a read of the scene opens it twice.
    EXPECT_EQ(count.opens(), 2);
    for (int change = 0; change < 10; ++change) {
        const std::string values = "scene=ball.json&set=offset%3D0.0" + std::to_string(change + 1);
        EXPECT_FALSE(
            rendered_png(port_, "/api/render?client=a&width=16&height=12&" + values).empty());
        EXPECT_EQ(get(port_, "/api/parameters?" + values).status, 200);
    }
    EXPECT_EQ(count.opens(), 2);
    EXPECT_EQ(get_json(port_, "/api/scene?scene=ball.json")["version"], first["version"]);

    // An editor's save: a new file renamed over the old one. The next request reads it again,
    // and renders what the command line renders of the files as they are now.
    std::string edited = tmhost::read_file(mesh);
    edited += "\n# edited\n";
    const std::string saved = mesh + ".new";
    { std::ofstream(saved, std::ios::binary) << edited; }
    std::filesystem::rename(saved, mesh);
    OpenCount again(mesh);
    const json changed = get_json(port_, "/api/scene?scene=ball.json");
    EXPECT_NE(changed["version"], first["version"]);
    EXPECT_EQ(again.opens(), 2);
    EXPECT_EQ(rendered_png(port_, "/api/render?scene=ball.json&width=16&height=12"),
              cli_image("render", "'" + scene + "' --width 16 --height 12"));

    // The scene file itself, edited in place: a new size shows at once.
    std::string resized = text;
    const std::size_t image = resized.find("\"image\"");
    ASSERT_NE(image, std::string::npos);
    resized.replace(image, resized.find('}', image) - image + 1,
                    "\"image\": {\"width\": 30, \"height\": 20}");
    { std::ofstream(scene, std::ios::binary | std::ios::trunc) << resized; }
    ASSERT_TRUE(
        eventually([&] { return get_json(port_, "/api/scene?scene=ball.json")["width"] == 30; }));
    EXPECT_EQ(rendered_png(port_, "/api/render?scene=ball.json"),
              cli_image("render", "'" + scene + "'"));
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, ThePassesOfAConvergingImageEndInTheCommandLinesImage) {
    start();
    const std::string values = "width=40&height=24&set=samples%3D3&set=distance%3D0.7";
    std::string last;
    for (const int pixel_samples : {1, 2, 4, 6}) {
        const json pass = get_json(port_, "/api/render?client=p&" + values +
                                              "&pixel-samples=" + std::to_string(pixel_samples));
        EXPECT_EQ(pass["pixel_samples"], pixel_samples);
        EXPECT_GT(pass["points"].get<long long>(), 0);
        EXPECT_TRUE(pass["seconds"].is_number());
        EXPECT_EQ(pass["command"], "tonemix-host render --width 40 --height 24 --pixel-samples " +
                                       std::to_string(pixel_samples) +
                                       " --set samples=3 --set distance=0.7");
        last = get(port_, "/api/image?id=" + pass["image"].get<std::string>()).body;
    }
    EXPECT_EQ(last, cli_image("render",
                              "--width 40 --height 24 --pixel-samples 6 --set samples=3 "
                              "--set distance=0.7"));
    // The tone map of the page encodes the kept image as --tonemap does.
    const json pass = get_json(port_, "/api/render?" + values);
    EXPECT_EQ(get(port_, "/api/image?id=" + pass["image"].get<std::string>() +
                             "&tonemap=filmic&exposure=1")
                  .body,
              cli_image("render",
                        "--width 40 --height 24 --set samples=3 --set distance=0.7 "
                        "--tonemap filmic --exposure 1"));
    EXPECT_EQ(get(port_, "/api/image?id=1&tonemap=sepia").status, 400);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, ATurnedCameraAndAModelFileAreTheCommandLinesImages) {
    tmhost::TemporaryFolder scenes;
    const std::string model = (scenes.path() / "wedge.ply").string();
    tmhost::replace_file(model,
                         "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
                         "property float y\nproperty float z\nelement face 4\n"
                         "property list uchar int vertex_indices\nend_header\n"
                         "0 0 0\n2 0 0\n0 0 2\n0 1 0\n3 0 1 2\n3 0 1 3\n3 1 2 3\n3 2 0 3\n");
    start({"--scenes", scenes.path().string()});
    const json list = get_json(port_, "/api/scenes");
    bool offered = false;
    for (const json& scene : list["scenes"]) offered = offered || scene["id"] == "wedge.ply";
    EXPECT_TRUE(offered) << list.dump();

    const std::string view =
        "width=24&height=16&set=samples%3D2&orbit=-30.5,12&zoom=1.25&pan=0.1,0";
    const json built = get_json(port_, "/api/render?" + view);
    EXPECT_EQ(built["command"],
              "tonemix-host render --width 24 --height 16 --set samples=2 --camera-orbit -30.5,12 "
              "--camera-zoom 1.25 --camera-pan 0.1,0");
    EXPECT_EQ(get(port_, "/api/image?id=" + built["image"].get<std::string>()).body,
              cli_image("render",
                        "--width 24 --height 16 --set samples=2 --camera-orbit -30.5,12 "
                        "--camera-zoom 1.25 --camera-pan 0.1,0"));
    const json staged =
        get_json(port_, "/api/render?scene=wedge.ply&width=24&height=16&orbit=20,0");
    EXPECT_EQ(staged["command"],
              "tonemix-host render " + model + " --width 24 --height 16 --camera-orbit 20,0");
    EXPECT_EQ(get(port_, "/api/image?id=" + staged["image"].get<std::string>()).body,
              cli_image("render", "'" + model + "' --width 24 --height 16 --camera-orbit 20,0"));
    // The values the view is read by: one line each.
    const Reply bad = get(port_, "/api/render?orbit=1");
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(bad.body,
              "orbit: expected AZ,EL in degrees (AZ within 3600, EL within 180), got '1'\n");
    EXPECT_EQ(get(port_, "/api/render?zoom=-1").status, 400);
    // The scene file of a turned view holds the turned camera and renders the same image.
    const Reply file = get(port_, "/api/scene-file?scene=wedge.ply&orbit=20,0&width=24&height=16");
    ASSERT_EQ(file.status, 200) << file.body;
    const std::string saved = (scenes.path() / "saved.json").string();
    tmhost::replace_file(saved, file.body);
    EXPECT_EQ(get(port_, "/api/image?id=" + staged["image"].get<std::string>()).body,
              cli_image("render", "'" + saved + "'"));
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, ARunningRenderShowsItsRowsAndStopsWhenAsked) {
    start();
    const json under = get_json(port_, "/api/render?width=640&height=360&set=samples%3D1");
    EXPECT_EQ(get(port_, "/api/partial?client=r").status, 404);
    Reply stopped;
    std::thread render([&] { stopped = get(port_, std::string(kLongRender) + "&client=r"); });
    ASSERT_TRUE(eventually([&] { return rows_done("r") > 0; }));
    // Parameter lists and scenes wait for no render.
    EXPECT_EQ(get(port_, "/api/parameters?set=samples%3D2").status, 200);
    EXPECT_EQ(get(port_, "/api/scene").status, 200);
    EXPECT_TRUE(running("r"));
    const Reply partial =
        get(port_, "/api/partial?client=r&under=" + under["image"].get<std::string>());
    EXPECT_EQ(partial.status, 200);
    const tonemix_test::PngPixels shown = tonemix_test::decode_png(partial.body);
    EXPECT_EQ(shown.width, 640);
    EXPECT_EQ(shown.height, 360);
    EXPECT_EQ(get_json(port_, "/api/cancel?client=r")["cancelled"], true);
    render.join();
    EXPECT_EQ(stopped.status, 409);
    EXPECT_FALSE(running("r"));
    EXPECT_EQ(get_json(port_, "/api/cancel?client=r")["cancelled"], false);
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(ServeTest, OneRequestCannotAskForHoursOfWork) {
    start();
    const json limits = get_json(port_, "/api/scenes")["limits"];
    EXPECT_EQ(limits["pixels"], 4096 * 4096);
    EXPECT_EQ(limits["sample_points"], 1 << 28);
    const Reply large = get(port_, "/api/render?width=5000&height=4000");
    EXPECT_EQ(large.status, 400);
    EXPECT_EQ(large.body, "image 5000x4000: more than 16777216 pixels\n");
    const Reply long_one =
        get(port_, "/api/render?width=2000&height=1000&pixel-samples=64&set=samples%3D1024");
    EXPECT_EQ(long_one.status, 400);
    EXPECT_NE(long_one.body.find("131072000000 sample points, more than 268435456"),
              std::string::npos)
        << long_one.body;
    EXPECT_EQ(get(port_, "/api/render?pixel-samples=65").status, 400);
    // A NUL would cut the file name short.
    const Reply cut = get(port_, "/api/render?scene=box_on_plane.json%00.png");
    EXPECT_EQ(cut.status, 400);
    EXPECT_EQ(cut.body, "scene=box_on_plane.json\\x00.png: a control character is not allowed\n");
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

// VmRSS of a process, in bytes.
long long resident_bytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    }
    return -1;
}

TEST_F(ServeTest, TwoThousandIdleConnectionsNeitherEndTheServerNorCostMuch) {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 2200) GTEST_SKIP() << "this process may open only " << files.rlim_cur;
    start();
    asio::io_context io;
    std::vector<asio::ip::tcp::socket> idle;
    for (int i = 0; i < 2000; ++i) {
        idle.emplace_back(io);
        idle.back().connect(
            {asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port_)});
        // Half of them send half a request, and never the rest.
        if (i % 2 == 0) asio::write(idle.back(), asio::buffer(std::string("GET /api/scenes HT")));
    }
    EXPECT_FALSE(rendered_png(port_, "/api/render?width=16").empty());
    const long long bytes = resident_bytes(child_);
    EXPECT_GT(bytes, 0);
    EXPECT_LT(bytes, 300LL << 20) << "the server holds " << (bytes >> 20) << " MiB";
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(errors(), "");
}

}  // namespace

#endif
