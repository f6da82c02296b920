// Where the render command puts its image: the type by the extension or --format, standard output
// for a pipe, a folder that takes no file is refused before the module is even loaded, a symbolic
// link is written through, and the longest names fit.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"
#include "host/image/pfm_image.h"
#include "image_decoders.h"
#include "render_test_support.h"
#include "symbolic_link.h"

#if defined(__linux__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using tonemix_test::CommandRun;
using tonemix_test::joined;
using tonemix_test::render;

const std::vector<std::string> kSmall = {"--width", "4", "--height", "3"};

std::vector<std::string> small_render_to(const std::string& output) {
    std::vector<std::string> arguments = kSmall;
    arguments.push_back("-o");
    arguments.push_back(output);
    return arguments;
}

bool g_module_loaded = false;
void note_module_loaded(tmhost::StandInHost&) { g_module_loaded = true; }

bool is_png(const std::string& path) {
    return fs::is_regular_file(path) && tmhost::read_file(path).substr(1, 3) == "PNG";
}

TEST(RenderOutputFile, TheExtensionInAnyCaseChoosesTheType) {
    tmhost::TemporaryFolder folder;
    const std::string pfm = (folder.path() / "a.PFM").string();
    const std::string exr = (folder.path() / "a.Exr").string();
    const std::string png = (folder.path() / "a.pNg").string();
    for (const std::string& output : {pfm, exr, png}) {
        const CommandRun run = render(small_render_to(output));
        ASSERT_EQ(run.status, 0) << output << ": " << joined(run.report.errors);
    }
    EXPECT_TRUE(is_png(png));
    // The EXR holds the very floats of the PFM, R, G and B each in a channel of its own.
    const tmhost::Image floats = tmhost::read_pfm(pfm);
    const tonemix_test::ExrChannels channels = tonemix_test::decode_exr(tmhost::read_file(exr));
    ASSERT_TRUE(channels.reason.empty()) << channels.reason;
    ASSERT_EQ(channels.names, (std::vector<std::string>{"B", "G", "R"}));
    ASSERT_EQ(channels.width, 4);
    ASSERT_EQ(channels.height, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            for (int c = 0; c < 3; ++c) {
                const float stored = channels.planes[2 - c][static_cast<std::size_t>(y * 4 + x)];
                EXPECT_EQ(std::memcmp(&stored, floats.pixel(x, y) + c, 4), 0)
                    << "pixel " << x << ", " << y << " channel " << c;
            }
        }
    }
}

TEST(RenderOutputFile, StandardOutputTakesTheFilesBytesAndTheSummaryGoesToStderr) {
    tmhost::TemporaryFolder folder;
    for (const char* format : {"png", "PFM", "exr"}) {
        SCOPED_TRACE(format);
        const std::string file = (folder.path() / (std::string("a.") + format)).string();
        ASSERT_EQ(render(small_render_to(file)).status, 0);
        std::vector<std::string> arguments = small_render_to("-");
        arguments.push_back("--format");
        arguments.push_back(format);
        const CommandRun piped = render(arguments);
        EXPECT_EQ(piped.status, 0) << joined(piped.report.errors);
        EXPECT_EQ(piped.standard_output_bytes, tmhost::read_file(file));
        EXPECT_TRUE(piped.report.out_lines.empty()) << joined(piped.report.out_lines);
        ASSERT_EQ(piped.report.notes.size(), 1u);
        EXPECT_NE(piped.report.notes[0].find("image written to standard output"), std::string::npos)
            << piped.report.notes[0];
    }
    const std::string file = (folder.path() / "sheet.png").string();
    const std::vector<std::string> sheet = {"--width", "4",      "--height",
                                            "3",       "--vary", "samples=1,2"};
    std::vector<std::string> to_file = sheet;
    to_file.insert(to_file.end(), {"-o", file});
    ASSERT_EQ(tonemix_test::sheet(to_file).status, 0);
    std::vector<std::string> to_pipe = sheet;
    to_pipe.insert(to_pipe.end(), {"-o", "-", "--format", "png"});
    const CommandRun piped = tonemix_test::sheet(to_pipe);
    EXPECT_EQ(piped.status, 0) << joined(piped.report.errors);
    EXPECT_EQ(piped.standard_output_bytes, tmhost::read_file(file));
    EXPECT_TRUE(piped.report.out_lines.empty());
}

TEST(RenderOutputFile, FormatAndExtensionMustAgreeAndATerminalTakesNoImage) {
    tmhost::TemporaryFolder folder;
    const std::string png = (folder.path() / "a.png").string();
    const std::string bare = (folder.path() / "picture").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"-o", "-"},
         "-o -: the image's type is needed for standard output: add --format png, pfm or exr"},
        {{"-o", "-", "--format", "jpg"},
         "--format: unknown image type 'jpg' (expected png, pfm or exr)"},
        {{"-o", png, "--format", "exr"},
         png + ": the extension says another image type than "
               "--format exr"},
        {{"-o", bare},
         bare + ": unknown image type (expected a .png, .pfm or .exr file, or "
                "--format)"},
    };
    for (const auto& [arguments, line] : refused) {
        std::vector<std::string> all = kSmall;
        all.insert(all.end(), arguments.begin(), arguments.end());
        g_module_loaded = false;
        const CommandRun run = render(all, note_module_loaded);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error(), line);
        EXPECT_TRUE(run.standard_output_bytes.empty());
        EXPECT_FALSE(g_module_loaded) << line;
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));

    // A name without an extension takes the type --format gives.
    std::vector<std::string> named = small_render_to(bare);
    named.insert(named.end(), {"--format", "Png"});
    EXPECT_EQ(render(named).status, 0);
    EXPECT_TRUE(is_png(bare));

    tmhost::CommandSettings settings;
    settings.default_module = TONEMIX_MODULE_FILE;
    settings.stdout_is_terminal = true;
    std::vector<std::string> to_terminal = small_render_to("-");
    to_terminal.insert(to_terminal.end(), {"--format", "png"});
    const tmhost::CommandOutput output = tmhost::run_render(to_terminal, settings);
    EXPECT_EQ(output.status, 2);
    ASSERT_EQ(output.lines.size(), 1u);
    EXPECT_EQ(output.lines[0].text,
              "-o -: standard output is a terminal; send it to a file or a program (tonemix-host "
              "render -o - --format png > image.png)");
    EXPECT_TRUE(output.standard_output_bytes.empty());
}

TEST(RenderOutputFile, ExposureDoublesTheLightAndFloatsKeepTheirRangeFromToneMaps) {
    tmhost::TemporaryFolder folder;
    const std::string plain = (folder.path() / "plain.pfm").string();
    const std::string doubled = (folder.path() / "doubled.pfm").string();
    const std::string mapped = (folder.path() / "mapped.pfm").string();
    ASSERT_EQ(render(small_render_to(plain)).status, 0);
    std::vector<std::string> brighter = small_render_to(doubled);
    brighter.insert(brighter.end(), {"--exposure", "1"});
    ASSERT_EQ(render(brighter).status, 0);
    std::vector<std::string> filmic = small_render_to(mapped);
    filmic.insert(filmic.end(), {"--tonemap", "filmic"});
    ASSERT_EQ(render(filmic).status, 0);
    const tmhost::Image light = tmhost::read_pfm(plain);
    const tmhost::Image twice = tmhost::read_pfm(doubled);
    ASSERT_EQ(light.values().size(), twice.values().size());
    for (std::size_t i = 0; i < light.values().size(); ++i) {
        EXPECT_EQ(twice.values()[i], light.values()[i] * 2.0f) << i;
    }
    EXPECT_EQ(tmhost::read_file(mapped), tmhost::read_file(plain));

    // An 8-bit image takes both; a filmic image differs from a clamped one.
    const std::string clamped_png = (folder.path() / "clamped.png").string();
    const std::string filmic_png = (folder.path() / "filmic.png").string();
    std::vector<std::string> clamped_run = small_render_to(clamped_png);
    clamped_run.insert(clamped_run.end(), {"--exposure", "3"});
    std::vector<std::string> filmic_run = small_render_to(filmic_png);
    filmic_run.insert(filmic_run.end(), {"--exposure", "3", "--tonemap", "filmic"});
    ASSERT_EQ(render(clamped_run).status, 0);
    ASSERT_EQ(render(filmic_run).status, 0);
    EXPECT_NE(tmhost::read_file(clamped_png), tmhost::read_file(filmic_png));

    for (const auto& [arguments, line] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--exposure", "21"}, "--exposure: expected a number from -20 to 20, got '21'"},
             {{"--exposure", "nan"}, "--exposure: expected a number from -20 to 20, got 'nan'"},
             {{"--exposure", "1x"}, "--exposure: expected a number from -20 to 20, got '1x'"},
             {{"--tonemap", "aces"},
              "--tonemap: unknown tone map 'aces' (expected clamp, reinhard or filmic)"}}) {
        std::vector<std::string> all = small_render_to(plain);
        all.insert(all.end(), arguments.begin(), arguments.end());
        const CommandRun run = render(all);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error(), line);
    }
}

#if defined(__linux__)
// Why a plain open cannot make `path`; "" when it can (the file is removed again).
std::string why_no_file(const std::string& path) {
    errno = 0;
    const int descriptor = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0666);
    if (descriptor < 0) return std::strerror(errno);
    close(descriptor);
    unlink(path.c_str());
    return "";
}

TEST(RenderOutputFile, AFolderThatTakesNoFileIsRefusedBeforeTheModuleLoads) {
    // Folders that refuse files to root as well: sysfs makes none, and a process's own /proc
    // folder holds only what the kernel puts there.
    for (const std::string output : {"/sys/tonemix-render.png", "/proc/self/tonemix-render.pfm"}) {
        SCOPED_TRACE(output);
        const std::string reason = why_no_file(output);
        if (reason.empty()) continue;
        g_module_loaded = false;
        const CommandRun run = render(small_render_to(output), note_module_loaded);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.report.errors.size(), 1u) << joined(run.report.errors);
        EXPECT_EQ(run.error(), output + ": cannot write: " + reason);
        EXPECT_TRUE(run.report.out_lines.empty()) << joined(run.report.out_lines);
        EXPECT_FALSE(g_module_loaded) << "refused only after the work";
    }
}
#endif

TEST(RenderOutputFile, ALinkIsWrittenThroughAndAFailedRenderLeavesItsTarget) {
    tmhost::TemporaryFolder folder;
    const std::string target = folder.write("images/real.png", "earlier image").string();
    const fs::path link = folder.path() / "link.png";
    LINK_OR_SKIP("images/real.png", link);

    const CommandRun failed = render({"--set", "samples=-1", "-o", link.string()});
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(tmhost::read_file(target), "earlier image");
    EXPECT_TRUE(fs::is_symlink(link));

    const CommandRun run = render(small_render_to(link.string()));
    EXPECT_EQ(run.status, 0) << joined(run.report.errors);
    ASSERT_EQ(run.report.out_lines.size(), 1u);
    EXPECT_NE(run.report.out_lines[0].find("image written to " + link.string()), std::string::npos)
        << run.report.out_lines[0];
    EXPECT_TRUE(fs::is_symlink(link)) << "the link was replaced by a file";
    EXPECT_EQ(fs::read_symlink(link), "images/real.png");
    EXPECT_TRUE(is_png(target));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(folder.path() / "images"), fs::directory_iterator()),
        1);
}

TEST(RenderOutputFile, ADanglingLinkMakesItsTargetOrIsRefusedInOneLine) {
    tmhost::TemporaryFolder folder;
    const fs::path fresh = folder.path() / "fresh.png";
    LINK_OR_SKIP("fresh.png", fresh.parent_path() / "to-fresh.png");
    const CommandRun run = render(small_render_to((folder.path() / "to-fresh.png").string()));
    EXPECT_EQ(run.status, 0) << joined(run.report.errors);
    EXPECT_TRUE(is_png(fresh.string()));
    EXPECT_TRUE(fs::is_symlink(folder.path() / "to-fresh.png"));

    const fs::path nowhere = folder.path() / "to-nowhere.png";
    fs::create_symlink("missing/image.png", nowhere);
    g_module_loaded = false;
    const CommandRun refused = render(small_render_to(nowhere.string()), note_module_loaded);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.report.errors.size(), 1u) << joined(refused.report.errors);
    EXPECT_EQ(refused.error(), nowhere.string() + ": links to " +
                                   (folder.path() / "missing/image.png").string() +
                                   ": no such folder: " + (folder.path() / "missing").string());
    EXPECT_FALSE(g_module_loaded);
    EXPECT_TRUE(fs::is_symlink(nowhere));
    EXPECT_FALSE(fs::exists(folder.path() / "missing"));
}

TEST(RenderOutputFile, TheLongestNamesTakeTheImageAndLeaveNothingBeside) {
    tmhost::TemporaryFolder folder;
    for (const std::size_t length : {244u, 255u}) {
        const std::string output =
            (folder.path() / (std::string(length - 4, 'l') + ".pfm")).string();
        const CommandRun run = render(small_render_to(output));
        EXPECT_EQ(run.status, 0) << length << ": " << joined(run.report.errors);
        EXPECT_EQ(tmhost::read_file(output).substr(0, 3), "PF\n") << length;
        fs::remove(output);
        EXPECT_TRUE(fs::is_empty(folder.path())) << length;
    }
}

}  // namespace
