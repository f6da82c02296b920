// resource_load on real folders: every description read, or the whole load refused with a reason.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "host/core/stand_in_host.h"
#include "temporary_folder.h"

namespace {

class HostResources : public ::testing::Test {
protected:
    int32_t load(const std::string& folder) {
        HostFilenameStorage name;
        host.filenames().start(&name, folder);
        const int32_t handle = host.table()->resource->load(&name);
        host.filenames().destroy(&name);
        return handle;
    }

    tmhost::StandInHost host;
    tmhost::TemporaryFolder folder;
};

TEST_F(HostResources, GoodFolderGivesAHandleWithEveryDescription) {
    folder.write("res/description/Xtonemix.json",
                 R"({"name": "Xtonemix",
                     "parameters": [{"id": 1008, "name": "TONEMIX_SAMPLES", "type": "long"}]})");
    folder.write("res/description/Other.json", R"({"name": "Other"})");
    folder.write("res/description/notes.txt", "not a description");
    const int32_t handle = load((folder.path() / "res").string());
    ASSERT_NE(handle, 0) << host.resources().last_error();

    const tmhost::LoadedResource* resource = host.resources().find(handle);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->descriptions.size(), 2u);
    const tmhost::Description* description = resource->description("Xtonemix");
    ASSERT_NE(description, nullptr);
    ASSERT_EQ(description->parameters().size(), 1u);
    EXPECT_EQ(description->parameters()[0].id, 1008);
    EXPECT_EQ(description->parameters()[0].type, tmhost::ParameterType::integer);
    // A description the host cannot present still loads, and says what is wrong with it.
    ASSERT_NE(resource->description("Other"), nullptr);
    EXPECT_EQ(resource->description("Other")->fault(), "description Other: no parameter list");
    EXPECT_EQ(host.resources().description(handle, "Missing"), nullptr);

    EXPECT_EQ(host.resources().live_count(), 1u);
    host.table()->resource->free(handle);
    EXPECT_TRUE(host.left_behind().empty());
}

TEST_F(HostResources, MissingFolderFailsWithAReason) {
    EXPECT_EQ(load((folder.path() / "nowhere").string()), 0);
    EXPECT_EQ(host.resources().last_error(), "resource folder 'nowhere' not found");
    folder.write("bare/readme", "");
    EXPECT_EQ(load((folder.path() / "bare").string()), 0);
    EXPECT_EQ(host.resources().last_error(), "resource folder 'bare' has no description folder");
    EXPECT_EQ(host.resources().live_count(), 0u);
}

TEST_F(HostResources, AFolderThatIsNoFolderSaysWhatItIs) {
    folder.write("plain", "");
    EXPECT_EQ(load((folder.path() / "plain").string()), 0);
    EXPECT_EQ(host.resources().last_error(), "resource folder 'plain': a file, not a folder");
    folder.write("flat/description", "");
    EXPECT_EQ(load((folder.path() / "flat").string()), 0);
    EXPECT_EQ(host.resources().last_error(),
              "resource folder 'flat': description: a file, not a folder");
    EXPECT_EQ(host.resources().live_count(), 0u);
}

#ifndef _WIN32
// FIFOs, devices and links that go round: a read would wait for ever, or the system gives up.
TEST_F(HostResources, AFifoADeviceOrALinkLoopIsNamedAsItIs) {
    namespace fs = std::filesystem;
    ASSERT_EQ(mkfifo((folder.path() / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(load((folder.path() / "pipe").string()), 0);
    EXPECT_EQ(host.resources().last_error(), "resource folder 'pipe': a FIFO, not a folder");

    fs::create_directory_symlink("/dev/null", folder.path() / "device");
    EXPECT_EQ(load((folder.path() / "device").string()), 0);
    EXPECT_EQ(host.resources().last_error(),
              "resource folder 'device': a character device, not a folder");

    fs::create_directory_symlink(folder.path() / "loop", folder.path() / "loop");
    EXPECT_EQ(load((folder.path() / "loop").string()), 0);
    EXPECT_EQ(host.resources().last_error(),
              "resource folder 'loop': Too many levels of symbolic links");

    folder.write("res/description/A.json", R"({"name": "A", "parameters": []})");
    ASSERT_EQ(mkfifo((folder.path() / "res/description/B.json").c_str(), 0600), 0);
    EXPECT_EQ(load((folder.path() / "res").string()), 0);
    EXPECT_EQ(host.resources().last_error(), "description/B.json: a FIFO, not a file");
    fs::remove(folder.path() / "res/description/B.json");
    // A folder of that name is no description and is passed over, as before.
    fs::create_directory(folder.path() / "res/description/C.json");
    EXPECT_NE(load((folder.path() / "res").string()), 0);
    EXPECT_EQ(host.resources().live_count(), 1u);
}

TEST_F(HostResources, AFolderThatCannotBeEnteredGivesTheSystemsReason) {
    if (geteuid() == 0) GTEST_SKIP() << "root enters every folder";
    folder.write("res/description/A.json", R"({"name": "A", "parameters": []})");
    std::filesystem::permissions(folder.path() / "res", std::filesystem::perms::none);
    EXPECT_EQ(load((folder.path() / "res").string()), 0);
    std::filesystem::permissions(folder.path() / "res", std::filesystem::perms::owner_all);
    EXPECT_EQ(host.resources().last_error(),
              "resource folder 'res': description: Permission denied");
}
#endif

TEST_F(HostResources, ABadFileFailsTheWholeLoad) {
    folder.write("res/description/A.json", R"({"name": "A"})");
    folder.write("res/description/B.json", R"({"name": "B", )");
    EXPECT_EQ(load((folder.path() / "res").string()), 0);
    EXPECT_EQ(host.resources().last_error(),
              "description/B.json: line 1, column 15: malformed JSON: syntax error while parsing "
              "object key - unexpected end of input; expected string literal");

    folder.write("res/description/B.json", R"({"label": "no name"})");
    EXPECT_EQ(load((folder.path() / "res").string()), 0);
    EXPECT_EQ(host.resources().last_error(), "description/B.json: name: missing");

    folder.write("res/description/B.json", R"({"name": "A"})");
    EXPECT_EQ(load((folder.path() / "res").string()), 0);
    EXPECT_EQ(host.resources().last_error(),
              "description/B.json: a second description named \"A\"");
    EXPECT_EQ(host.resources().live_count(), 0u);
    EXPECT_EQ(host.resources().attempts().size(), 3u);
}

// Descriptions that would take the host's memory or stack fail the load like any bad file, with
// the place of the fault; nothing of them stays.
TEST_F(HostResources, AFileTooDeepTooLargeOrWithANumberBeyondADoubleFailsTheLoad) {
    const std::string res = (folder.path() / "res").string();
    folder.write("res/description/A.json", R"({"name": "A"})");
    // The parameter's default starts at column 67 of the second line, on the fourth level: the
    // 62nd '[' of its chain, at column 67 + 61, opens level 65.
    const std::string start =
        R"({"name": "B",)"
        "\n"
        R"( "parameters": [{"id": 1, "name": "X", "type": "long", "default": )";
    folder.write("res/description/B.json",
                 start + std::string(10000, '[') + std::string(10000, ']') + "}]}");
    EXPECT_EQ(load(res), 0);
    EXPECT_EQ(host.resources().last_error(),
              "description/B.json: line 2, column 128: nested more than 64 levels deep");

    folder.write("res/description/B.json", start + "\n  1e309}]}");
    EXPECT_EQ(load(res), 0);
    EXPECT_EQ(host.resources().last_error(),
              "description/B.json: line 3, column 7: malformed JSON: number overflow parsing "
              "'1e309'");

    const std::filesystem::path huge = folder.write("res/description/B.json", "");
    std::filesystem::resize_file(huge, (64u << 20) + 1);
    EXPECT_EQ(load(res), 0);
    EXPECT_EQ(host.resources().last_error(), "description/B.json: more than 64 MiB");

    std::filesystem::resize_file(huge, 0);
    folder.write("res/description/B.json",
                 start + std::string(61, '[') + std::string(61, ']') + "}]}");
    EXPECT_NE(load(res), 0) << host.resources().last_error();
    EXPECT_EQ(host.resources().live_count(), 1u);
}

TEST_F(HostResources, FreeingAStaleOrUnknownHandleIsAMisuse) {
    folder.write("res/description/A.json", R"({"name": "A"})");
    const int32_t handle = load((folder.path() / "res").string());
    ASSERT_NE(handle, 0);
    host.table()->resource->free(handle);
    host.table()->resource->free(handle);
    host.table()->resource->free(4711);
    ASSERT_EQ(host.misuses().count(), 2u);
    EXPECT_EQ(host.misuses().messages()[0],
              "resource_free: handle " + std::to_string(handle) + " was already freed");
    EXPECT_EQ(host.misuses().messages()[1], "resource_free: handle 4711 was never loaded");
    // A new load never reuses the freed handle.
    EXPECT_NE(load((folder.path() / "res").string()), handle);
}

TEST_F(HostResources, TheModulesOwnResourceFolderLoads) {
    const int32_t handle = load(std::string(TONEMIX_SOURCE_DIR) + "/plugins/tonemix/res");
    ASSERT_NE(handle, 0) << host.resources().last_error();
    const tmhost::Description* description = host.resources().description(handle, "Xtonemix");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->fault(), "");
    EXPECT_FALSE(description->parameters().empty());
}

}  // namespace
