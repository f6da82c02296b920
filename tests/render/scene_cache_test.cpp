// The scenes a preview server keeps: one read however often a scene is asked for, read again
// when its file or a mesh file changes (in place, or replaced by an editor's rename), shared by
// the threads that ask at once, refused when the file is a FIFO, and not kept when it fails; a
// model once for each stage, and no more scenes than the cache keeps.
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/render/prepared_scene.h"
#include "host/render/render_error.h"
#include "host/scene/scene_error.h"
#include "temporary_folder.h"

namespace {

using tmhost::SceneCache;

const char* const kMesh = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

std::string scene_text(int width) {
    return R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40},
               "image": {"width": )" +
           std::to_string(width) + R"(, "height": 10},
               "objects": [{"type": "mesh", "name": "m", "file": "m.obj"}]})";
}

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class SceneCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        write(folder_.path() / "m.obj", kMesh);
        write(scene_, scene_text(20));
    }
    tmhost::TemporaryFolder folder_;
    const std::string scene_ = (folder_.path() / "s.json").string();
};

TEST_F(SceneCacheTest, ASceneIsReadOnceAndAgainOnlyWhenAFileOfItChanges) {
    SceneCache cache;
    const SceneCache::Entry first = cache.get(scene_);
    ASSERT_TRUE(first.scene);
    EXPECT_EQ(first.version, 1u);
    EXPECT_EQ(first.scene->loaded.scene.mesh_files,
              std::vector<std::string>{(folder_.path() / "m.obj").string()});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(cache.get(scene_).scene, first.scene);

    // The mesh, edited: the scene is read again, the scene file unchanged.
    write(folder_.path() / "m.obj", std::string(kMesh) + "f 3 2 1\n");
    const SceneCache::Entry remeshed = cache.get(scene_);
    EXPECT_NE(remeshed.scene, first.scene);
    EXPECT_EQ(remeshed.version, 2u);
    EXPECT_EQ(remeshed.scene->loaded.scene.objects.size(), 1u);

    // An editor's save by rename, of the same size and time: a new identity all the same.
    const std::filesystem::path fresh = folder_.path() / "s.new";
    write(fresh, scene_text(21));
    struct stat old_status {};
    ASSERT_EQ(stat(scene_.c_str(), &old_status), 0);
    std::filesystem::rename(fresh, scene_);
    EXPECT_EQ(cache.get(scene_).scene->loaded.scene.width, 21);
    EXPECT_EQ(cache.get(scene_).version, 3u);

    // The built-in scene is a scene of its own.
    EXPECT_NE(cache.get(std::nullopt).scene, cache.get(scene_).scene);
    // Holders of an older scene keep it whole.
    EXPECT_EQ(first.scene->loaded.scene.width, 20);
}

TEST_F(SceneCacheTest, ThreadsAskingAtOnceShareOneRead) {
    SceneCache cache;
    std::vector<std::shared_ptr<const tmhost::PreparedScene>> got(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < got.size(); ++i) {
        threads.emplace_back([&, i] { got[i] = cache.get(scene_).scene; });
    }
    for (std::thread& thread : threads) thread.join();
    for (const auto& scene : got) EXPECT_EQ(scene, got.front());
    EXPECT_EQ(cache.get(scene_).version, 1u);
}

TEST_F(SceneCacheTest, AFailedReadIsNotKeptAndAFifoIsRefused) {
    SceneCache cache;
    write(scene_, "{ not json");
    EXPECT_THROW(cache.get(scene_), tmhost::SceneError);
    write(scene_, scene_text(22));
    EXPECT_EQ(cache.get(scene_).scene->loaded.scene.width, 22);

#if defined(__linux__)
    const std::string fifo = (folder_.path() / "f.json").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    try {
        cache.get(fifo);
        ADD_FAILURE() << "a FIFO was read";
    } catch (const tmhost::SceneError& error) {
        EXPECT_EQ(std::string(error.what()),
                  fifo + ": not a regular file (a scene is read from a file on disk)");
    }
#endif
}

TEST_F(SceneCacheTest, KeepsTheScenesUsedLastAndLetsTheOldestGo) {
    SceneCache cache;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i <= SceneCache::kKeptScenes; ++i) {
        paths.push_back((folder_.path() / ("s" + std::to_string(i) + ".json")).string());
        write(paths.back(), scene_text(30 + static_cast<int>(i)));
    }
    std::vector<std::shared_ptr<const tmhost::PreparedScene>> kept;
    for (std::size_t i = 0; i < SceneCache::kKeptScenes; ++i)
        kept.push_back(cache.get(paths[i]).scene);
    // Scene 0 used again: scene 1 is now the one used longest ago, and goes for the new one.
    EXPECT_EQ(cache.get(paths[0]).scene, kept[0]);
    EXPECT_EQ(cache.get(paths.back()).scene->loaded.scene.width,
              30 + static_cast<int>(SceneCache::kKeptScenes));
    EXPECT_EQ(cache.get(paths[0]).scene, kept[0]);
    EXPECT_EQ(cache.get(paths[2]).scene, kept[2]);
    const SceneCache::Entry again = cache.get(paths[1]);
    EXPECT_NE(again.scene, kept[1]);
    EXPECT_EQ(again.version, 1u) << "a scene let go is counted from its first read again";
    EXPECT_EQ(again.scene->loaded.scene.width, 31);
}

TEST_F(SceneCacheTest, AModelIsKeptOnceForEachStage) {
    SceneCache cache;
    const std::string model = (folder_.path() / "m.obj").string();
    const auto y_up = cache.get(model).scene;
    tmhost::StageOptions z_up;
    z_up.up = tmhost::UpAxis::z;
    const auto turned = cache.get(model, z_up).scene;
    EXPECT_NE(turned, y_up);
    EXPECT_EQ(cache.get(model, z_up).scene, turned);
    EXPECT_EQ(cache.get(model).scene, y_up);
    // A camera the model lacks is refused as the stage's own fault.
    tmhost::StageOptions first_camera;
    first_camera.camera_index = 0;
    try {
        cache.get(model, first_camera);
        ADD_FAILURE() << "a camera the model lacks was staged";
    } catch (const tmhost::SceneError& error) {
        EXPECT_EQ(std::string(error.what()),
                  model + ": no camera 0 (the file has 0 cameras, counted from 0)");
    }

    // A scene file's camera says where it looks: no stage for it.
    try {
        cache.get(scene_, z_up);
        ADD_FAILURE() << "a scene file was staged";
    } catch (const tmhost::RenderError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "--up: only for model files (.obj, .ply, .stl, .gltf, .glb); a scene file's "
                  "camera says where it looks");
    }
}

}  // namespace
