// The files a scene is read from are regular files or nothing: a FIFO would wait for a writer
// for ever and a device might never end, so each is refused at once in one line naming the file
// and what it is; a file past 2 GiB is refused for its size, in the words of any other file too
// long.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "host/scene/input_file.h"
#include "host/scene/mesh_file.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"
#include "temporary_folder.h"

namespace {

using namespace tmhost;

template <class Action>
std::string error_of(Action action) {
    try {
        action();
    } catch (const SceneError& error) {
        return error.what();
    }
    return "(no error)";
}

const char* const kCamera =
    R"("camera": { "position": [0, 1, 5], "target": [0, 0, 0], "fov": 45 })";

std::string scene_with_mesh(const std::string& mesh) {
    return "{" + std::string(kCamera) + R"(, "objects": [{"name": "m", "type": "mesh", "file": ")" +
           mesh + R"("}]})";
}

TEST(SceneInputFile, ARegularFileIsReadWholeUpToItsLimit) {
    TemporaryFolder folder;
    const std::string exact = folder.write("exact", "0123456789abcdef").string();
    EXPECT_EQ(read_input_file(exact, 16), "0123456789abcdef");
    EXPECT_EQ(read_input_file(folder.write("empty", "").string()), "");
    const std::string longer = folder.write("longer", "0123456789abcdefg").string();
    EXPECT_EQ(error_of([&] { read_input_file(longer, 16); }),
              longer + ": cannot read: more than 16 bytes");
    const std::string missing = (folder.path() / "missing.json").string();
    EXPECT_EQ(error_of([&] { read_input_file(missing); }),
              missing + ": cannot read: No such file or directory");
}

TEST(SceneInputFile, AFolderIsNoFile) {
    TemporaryFolder folder;
    const std::string path = folder.path().string();
    EXPECT_EQ(error_of([&] { load_scene_file(path); }),
              path + ": cannot read: a folder, not a file");
}

// Sparse: the file takes no room on the disk. Past 2 GiB a 32-bit build's plain calls fail with
// "Value too large for defined data type"; the size is what is wrong with it.
TEST(SceneInputFile, AFilePastTwoGiBIsRefusedForItsSize) {
    TemporaryFolder folder;
    const std::filesystem::path path = folder.write("huge.json", "");
    std::error_code error;
    std::filesystem::resize_file(path, std::uintmax_t{3} << 30, error);
    if (error) GTEST_SKIP() << "no sparse file of 3 GiB here: " << error.message();
    EXPECT_EQ(error_of([&] { load_scene_file(path.string()); }),
              path.string() + ": cannot read: more than 64 MiB");
    const std::filesystem::path mesh = folder.path() / "huge.obj";
    std::filesystem::rename(path, mesh);
    // Forward slashes, which JSON takes as they are and Windows too.
    const std::string scene =
        folder.write("s.json", scene_with_mesh(mesh.generic_string())).string();
    EXPECT_EQ(
        error_of([&] { load_scene_file(scene); }),
        scene + ": objects[0].file: " + mesh.generic_string() + ": cannot read: more than 64 MiB");
}

#ifndef _WIN32
TEST(SceneInputFile, AFifoSceneOrMeshIsRefusedWithoutWaitingForAWriter) {
    TemporaryFolder folder;
    const std::string fifo = (folder.path() / "pipe.json").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Nobody ever writes: a read that waited would never come back.
    EXPECT_EQ(error_of([&] { load_scene_file(fifo); }), fifo + ": cannot read: a FIFO, not a file");

    for (const char* name : {"pipe.obj", "pipe.ply", "pipe.stl", "pipe.gltf", "pipe.glb"}) {
        const std::string mesh = (folder.path() / name).string();
        ASSERT_EQ(mkfifo(mesh.c_str(), 0600), 0);
        const std::string scene = folder.write("s.json", scene_with_mesh(mesh)).string();
        EXPECT_EQ(error_of([&] { load_scene_file(scene); }),
                  scene + ": objects[0].file: " + mesh + ": cannot read: a FIFO, not a file")
            << name;
        std::vector<std::string> notes;
        EXPECT_EQ(error_of([&] { read_mesh_source(mesh, 1000, notes); }),
                  mesh + ": cannot read: a FIFO, not a file")
            << name;
    }
}

TEST(SceneInputFile, DevicesAndSocketsAreNamedAsWhatTheyAre) {
    if (std::filesystem::exists("/dev/zero")) {
        EXPECT_EQ(error_of([] { load_scene_file("/dev/zero"); }),
                  "/dev/zero: cannot read: a character device, not a file");
        EXPECT_EQ(error_of([] { read_input_file("/dev/null"); }),
                  "/dev/null: cannot read: a character device, not a file");
    }
    TemporaryFolder folder;
    const std::string path = (folder.path() / "socket.json").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    const int server = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(error_of([&] { load_scene_file(path); }),
              path + ": cannot read: a socket, not a file");
    close(server);
}
#else
TEST(SceneInputFile, AFifoSceneOrMeshIsRefusedWithoutWaitingForAWriter) {
    GTEST_SKIP() << "Windows has no FIFO in its file system";
}

TEST(SceneInputFile, DevicesAndSocketsAreNamedAsWhatTheyAre) {
    EXPECT_EQ(error_of([] { load_scene_file("NUL"); }), "NUL: cannot read: a device, not a file");
}
#endif

}  // namespace
