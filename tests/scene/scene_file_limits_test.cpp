// Scene files that would take the host's memory or stack: nesting without end, files without end.
// Each is refused in one line that names the file and, for nesting, the place.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "host/image/whole_file.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"
#include "temporary_folder.h"

namespace {

using namespace tmhost;

constexpr std::uintmax_t kMiB = 1u << 20;

template <class Action>
std::string error_of(Action action) {
    try {
        action();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(no error)";
}

// A file of `size` zero bytes that takes no room on the disk.
std::string sparse_file(const TemporaryFolder& folder, const std::string& name,
                        std::uintmax_t size) {
    const std::filesystem::path path = folder.write(name, "");
    std::filesystem::resize_file(path, size);
    return path.string();
}

const char* const kCamera =
    R"("camera": { "position": [0, 1, 5], "target": [0, 0, 0], "fov": 45 })";

TEST(SceneFileLimits, ReadingStopsOneByteBeyondTheLimit) {
    TemporaryFolder folder;
    const std::string exact = folder.write("exact", "0123456789abcdef").string();
    EXPECT_EQ(read_file(exact, 16), "0123456789abcdef");
    const std::string longer = folder.write("longer", "0123456789abcdefg").string();
    EXPECT_EQ(error_of([&] { read_file(longer, 16); }),
              longer + ": cannot read: more than 16 bytes");
    EXPECT_EQ(error_of([&] { read_file(longer, 0); }), longer + ": cannot read: more than 0 bytes");
    // More than one buffer's worth, and a limit in whole MiB.
    const std::string mib = sparse_file(folder, "mib", kMiB);
    EXPECT_EQ(read_file(mib, kMiB), std::string(kMiB, '\0'));
    const std::string beyond = sparse_file(folder, "beyond", kMiB + 1);
    EXPECT_EQ(error_of([&] { read_file(beyond, kMiB); }),
              beyond + ": cannot read: more than 1 MiB");
}

TEST(SceneFileLimits, AnEndlessFileStopsAtTheLimit) {
    if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero here";
    EXPECT_EQ(error_of([] { read_file("/dev/zero", 100000); }),
              "/dev/zero: cannot read: more than 100000 bytes");
    // A scene is read from regular files only: the device is refused before any byte is read.
    EXPECT_EQ(error_of([] { load_scene_file("/dev/zero"); }),
              "/dev/zero: cannot read: a character device, not a file");
}

TEST(SceneFileLimits, ASceneFileOverSixtyFourMiBIsRefusedUnread) {
    TemporaryFolder folder;
    const std::string huge = sparse_file(folder, "huge.json", 64 * kMiB + 1);
    EXPECT_EQ(error_of([&] { load_scene_file(huge); }), huge + ": cannot read: more than 64 MiB");
}

TEST(SceneFileLimits, NestingBeyondSixtyFourLevelsIsRefusedWhereItStarts) {
    EXPECT_EQ(error_of([] { parse_scene(std::string(100000, '[')); }),
              "line 1, column 65: nested more than 64 levels deep");

    // Under "shader", on a line of its own: the top level and the shader's object are levels 1
    // and 2, so the 64th '{' of the chain (at 10 + 6 * 63 + 1) opens level 65.
    std::string chain;
    for (int i = 0; i < 10000; ++i) chain += "{\"a\": ";
    chain += "1" + std::string(10000, '}');
    const std::string scene = "{" + std::string(kCamera) + ",\n\"shader\": " + chain + "}";
    EXPECT_EQ(error_of([&] { parse_scene(scene); }),
              "line 2, column 389: nested more than 64 levels deep");

    TemporaryFolder folder;
    const std::string path = folder.write("deep.json", scene).string();
    EXPECT_EQ(error_of([&] { load_scene_file(path); }),
              path + ": line 2, column 389: nested more than 64 levels deep");
}

}  // namespace
