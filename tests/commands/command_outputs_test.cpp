// What the commands' outputs may not do: replace the module, a file of its res folder, the scene
// or a mesh being read (by any name); and what they do: "-" is standard output for --junit too,
// the JUnit report parses whatever the paths hold, and a write cut short leaves no hidden file.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "emulation_limits.h"
#include "host/core/stand_in_host.h"
#include "host/image/whole_file.h"
#include "render_test_support.h"
#include "temporary_folder.h"
#include "xml_check.h"

#if defined(__linux__)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program_run.h"
#endif

namespace {

namespace fs = std::filesystem;
using tonemix_test::CommandRun;

bool g_module_loaded = false;
void note_module_loaded(tmhost::StandInHost&) { g_module_loaded = true; }

// A copy of the built module with its res folder, so that a write that should have been refused
// destroys no file of the build's.
struct ModuleCopy {
    explicit ModuleCopy(const std::string& folder_name = "module") {
        folder = root.path() / folder_name;
        fs::create_directories(folder);
        module = (folder / "Tonemix.cdl").string();
        fs::copy_file(TONEMIX_MODULE_FILE, module);
        fs::copy(fs::path(TONEMIX_MODULE_FILE).parent_path() / "res", folder / "res",
                 fs::copy_options::recursive);
        description = (folder / "res" / "description" / "Xtonemix.json").string();
    }
    tmhost::TemporaryFolder root;
    fs::path folder;
    std::string module;
    std::string description;
};

CommandRun validate(const std::vector<std::string>& arguments) {
    return tonemix_test::run_command(tmhost::run_validate, arguments);
}

TEST(CommandOutputs, AJunitReportOntoTheModuleOrItsDescriptionIsRefusedAndBothStayIntact) {
    const ModuleCopy copy;
    const std::string module_bytes = tmhost::read_file(copy.module);
    const std::string description_bytes = tmhost::read_file(copy.description);
    const struct {
        std::string junit;
        std::string named;
    } cases[] = {
        {copy.module, "the module file"},
        {(copy.folder / "res" / ".." / "Tonemix.cdl").string(), "the module file"},
        {copy.description, "the module's res/description/Xtonemix.json"},
    };
    for (const auto& c : cases) {
        const CommandRun run =
            validate({copy.module, "--only", "lifecycle", "--level", "1", "--junit", c.junit});
        EXPECT_EQ(run.status, 2) << c.junit;
        EXPECT_TRUE(run.report.out_lines.empty()) << c.junit;
        EXPECT_EQ(run.error(),
                  "validate: the JUnit report " + c.junit + ": cannot write: it is " + c.named);
    }
    EXPECT_EQ(tmhost::read_file(copy.module), module_bytes);
    EXPECT_EQ(tmhost::read_file(copy.description), description_bytes);
}

TEST(CommandOutputs, AnImageOntoAFileTheRenderReadsIsRefusedBeforeTheModuleLoads) {
    const ModuleCopy copy;
    const fs::path scene =
        copy.root.write("scene/mesh.json",
                        tmhost::read_file(tonemix_test::source_path("scenes/mesh_icosphere.json")));
    fs::create_directories(scene.parent_path() / "meshes");
    const fs::path mesh = scene.parent_path() / "meshes" / "icosphere.obj";
    fs::copy_file(tonemix_test::source_path("scenes/meshes/icosphere.obj"), mesh);
    const std::string mesh_name = (scene.parent_path() / "meshes/icosphere.obj").string();
    const struct {
        std::string output;
        std::string named;
    } cases[] = {
        {copy.module, "the module file"},
        {copy.description, "the module's res/description/Xtonemix.json"},
        {scene.string(), "the scene file"},
        {mesh.string(), "the scene's mesh file " + mesh_name},
    };
    for (const auto& c : cases) {
        const std::string before = tmhost::read_file(c.output);
        for (const auto command : {tonemix_test::render, tonemix_test::sheet}) {
            g_module_loaded = false;
            std::vector<std::string> arguments = {
                scene.string(), "--module", copy.module, "--width", "4", "--height", "3",
                "--format",     "png",      "-o",        c.output};
            if (command == tonemix_test::sheet) {
                arguments.insert(arguments.end(), {"--vary", "samples=1,2"});
            }
            const CommandRun run = command(arguments, note_module_loaded);
            EXPECT_EQ(run.status, 2) << c.output;
            EXPECT_EQ(run.error(), c.output + ": cannot write: it is " + c.named);
            EXPECT_FALSE(g_module_loaded) << c.output;
            EXPECT_EQ(tmhost::read_file(c.output), before) << c.output;
        }
    }
}

TEST(CommandOutputs, JunitToStandardOutputCarriesTheReportAloneAndTheLinesGoToStderr) {
    tmhost::TemporaryFolder folder;
    const CommandRun run = validate(
        {"--only", "lifecycle", "--level", "1", "--seed", "3", "--in-process", "--junit", "-"});
    ASSERT_EQ(run.status, 0) << run.error();
    EXPECT_TRUE(run.report.out_lines.empty());
    ASSERT_EQ(run.report.notes.size(), 3u);
    EXPECT_EQ(run.report.notes[1].rfind("lifecycle: pass", 0), 0u) << run.report.notes[1];
    EXPECT_EQ(run.report.notes[2], "1 passed, 0 failed");
    EXPECT_EQ(run.standard_output_bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0),
              0u);
    EXPECT_NE(run.standard_output_bytes.find("<property name=\"seed\" value=\"3\"/>"),
              std::string::npos);
    EXPECT_FALSE(fs::exists("-"));
}

#if defined(__linux__)

// The module's folder name and a parameter name of its description hold what XML cannot carry
// as it is; the report names both, and parses.
TEST(CommandOutputs, TheJunitReportParsesWhateverThePathAndTheModulesTextHold) {
    const ModuleCopy copy("host\xff\xfe");
    std::string description = tmhost::read_file(copy.description);
    // Another default than the module's, so that a group quotes the name in its failure.
    const std::string samples =
        "\"name\": \"TONEMIX_SAMPLES\", \"label\": \"Samples\", \"type\": \"long\", \"default\": 8";
    const std::size_t at = description.find(samples);
    ASSERT_NE(at, std::string::npos);
    description.replace(at, samples.size(),
                        "\"name\": \"TONEMIX_SAMP\xef\xbf\xbeLES\", \"label\": \"Samples\", "
                        "\"type\": \"long\", \"default\": 9");
    tmhost::replace_file(copy.description, description);
    const std::string junit = (copy.root.path() / "verdicts.xml").string();
    const CommandRun run = validate({copy.module, "--only", "lifecycle", "--only", "parameters",
                                     "--level", "1", "--junit", junit});
    ASSERT_TRUE(fs::exists(junit)) << run.error();
    const std::string xml = tmhost::read_file(junit);
    const std::string error = tonemix_test::xml_parse_error(xml);
    if (error == tonemix_test::kNoParser) GTEST_SKIP() << error;
    EXPECT_EQ(error, "") << xml;
    EXPECT_NE(xml.find("host\\xff\\xfe/Tonemix.cdl"), std::string::npos) << xml;
    EXPECT_NE(xml.find("TONEMIX_SAMP\\ufffeLES"), std::string::npos) << xml;
}

std::vector<std::string> temporary_files(const fs::path& folder) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(".tmx-", 0) == 0) {
            found.push_back(entry.path().filename().string());
        }
    }
    return found;
}

// A render of 4096x4096 pixels that shades nothing: quick to make, 192 MiB to write.
const char* const kLargeEmptyScene = R"({
  "camera": { "position": [0, 0, 10], "target": [0, 0, 0], "fov": 35 },
  "image": { "width": 4096, "height": 4096 },
  "objects": [ { "type": "sphere", "name": "far", "center": [0, 0, 100], "radius": 0.1 } ],
  "lights": [ { "name": "lamp", "position": [0, 5, 5], "colour": [1, 1, 1], "intensity": 1 } ]
})";

// SIGTERM while the image is being written: the program ends by the signal, the earlier image
// survives and no hidden temporary file is left. The program is stopped as soon as its
// temporary file shows (a megabyte written), so the signal comes mid-write.
TEST(CommandOutputs, ARenderEndedBySigtermMidWriteLeavesNoTemporaryFile) {
    if (!fs::exists(tonemix_test::host_program())) GTEST_SKIP() << "tonemix-host not built";
    if (const std::string why =
            tonemix_test::no_large_sanitized_allocation("while this test watches the folder");
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    tmhost::TemporaryFolder folder;
    const std::string scene = folder.write("empty.json", kLargeEmptyScene).string();
    const std::string image = folder.write("image.pfm", "earlier").string();
    const std::string program = tonemix_test::host_program().string();
    for (int attempt = 0; attempt < 5; ++attempt) {
        const pid_t child = fork();
        if (child == 0) {
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            execl(program.c_str(), program.c_str(), "render", scene.c_str(), "--threads", "2", "-o",
                  image.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        bool caught = false;
        int status = 0;
        while (!caught && waitpid(child, &status, WNOHANG) == 0) {
            for (const std::string& name : temporary_files(folder.path())) {
                std::error_code error;
                if (fs::file_size(folder.path() / name, error) > (1u << 20)) caught = true;
            }
            if (!caught) usleep(200);
        }
        if (!caught) continue;  // the write ended before it was seen: try again
        kill(child, SIGSTOP);
        kill(child, SIGTERM);
        kill(child, SIGCONT);
        waitpid(child, &status, 0);
        if (!WIFSIGNALED(status)) continue;  // the signal came after the write: try again
        EXPECT_EQ(WTERMSIG(status), SIGTERM);
        EXPECT_TRUE(temporary_files(folder.path()).empty()) << temporary_files(folder.path())[0];
        EXPECT_EQ(tmhost::read_file(image), "earlier");
        return;
    }
    GTEST_SKIP() << "the write was never caught under way in five renders";
}

// A write that fails once the work is done (here: past the file size limit, SIGXFSZ ignored as a
// full disk fails it) lost the image on its way out: one line, exit 1, nothing left behind.
TEST(CommandOutputs, AWriteThatFailsAfterTheRenderIsOneLineAndExit1) {
    if (!fs::exists(tonemix_test::host_program())) GTEST_SKIP() << "tonemix-host not built";
    tmhost::TemporaryFolder folder;
    const std::string image = folder.write("image.pfm", "earlier").string();
    FILE* pipe = popen(("ulimit -f 64; trap '' XFSZ; '" + tonemix_test::host_program().string() +
                        "' render --width 200 --height 200 -o '" + image + "' 2>&1 >/dev/null")
                           .c_str(),
                       "r");
    ASSERT_NE(pipe, nullptr);
    std::string said;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) said += static_cast<char>(c);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(said, "tonemix-host: " + image + ": cannot write: File too large\n");
    EXPECT_EQ(tmhost::read_file(image), "earlier");
    EXPECT_TRUE(temporary_files(folder.path()).empty());
}

#endif

}  // namespace
