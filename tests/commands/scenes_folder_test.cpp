// The scenes serve offers and the files their ids reach: the list a page shows, the scene the
// server was started with, and the ids that must reach nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/commands/scenes_folder.h"
#include "symbolic_link.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using tmhost::NoSuchScene;
using tmhost::ScenesFolder;
using tmhost::ServedScene;
using tmhost::TemporaryFolder;

std::vector<std::string> ids_of(const ScenesFolder& folder) {
    std::vector<std::string> ids;
    for (const ServedScene& scene : folder.scenes()) ids.push_back(scene.id + "=" + scene.label);
    return ids;
}

// The refusal's line, or "found" when the id reached a file.
std::string refusal(const ScenesFolder& folder, const std::string& id) {
    try {
        folder.path(id);
        return "found";
    } catch (const NoSuchScene& error) {
        return error.what();
    }
}

fs::path real(const fs::path& path) { return fs::weakly_canonical(path); }

TEST(ScenesFolder, ListsSceneAndModelFilesByNameAfterTheBuiltInScene) {
    TemporaryFolder scenes;
    scenes.write("b.json", "{}");
    scenes.write("a.json", "{}");
    scenes.write("teapot.obj", "");
    scenes.write("part.STL", "");
    scenes.write("notes.txt", "");
    scenes.write("json", "");
    fs::create_directory(scenes.path() / "folder.json");
    scenes.write("sub/deep.json", "{}");
    const ScenesFolder folder(scenes.path(), std::nullopt);
    EXPECT_EQ(ids_of(folder),
              (std::vector<std::string>{"builtin=built-in scene", "a.json=a.json", "b.json=b.json",
                                        "part.STL=part.STL", "teapot.obj=teapot.obj"}));
    EXPECT_EQ(folder.default_id(), "builtin");
    EXPECT_EQ(folder.path("builtin"), std::nullopt);
    EXPECT_EQ(folder.path("a.json"), (real(scenes.path()) / "a.json").string());
    EXPECT_EQ(folder.path("teapot.obj"), (real(scenes.path()) / "teapot.obj").string());
}

TEST(ScenesFolder, AStartedSceneInsideTheFolderIsItsOwnEntry) {
    TemporaryFolder scenes;
    const fs::path file = scenes.write("mine.json", "{}");
    const ScenesFolder folder(scenes.path(), file.string());
    EXPECT_EQ(folder.default_id(), "mine.json");
    EXPECT_EQ(ids_of(folder),
              (std::vector<std::string>{"builtin=built-in scene", "mine.json=mine.json"}));
    // "started" names the started scene only when it has no id of its own.
    EXPECT_EQ(refusal(folder, "started"), "no scene 'started' in " + real(scenes.path()).string());
}

TEST(ScenesFolder, AStartedSceneElsewhereIsOfferedAsStartedAndNothingBesideItIs) {
    TemporaryFolder scenes;
    TemporaryFolder elsewhere;
    scenes.write("here.json", "{}");
    const fs::path file = elsewhere.write("away.json", "{}");
    elsewhere.write("beside.json", "{}");
    const ScenesFolder folder(scenes.path(), file.string());
    EXPECT_EQ(folder.default_id(), "started");
    EXPECT_EQ(ids_of(folder),
              (std::vector<std::string>{"builtin=built-in scene", "started=away.json",
                                        "here.json=here.json"}));
    EXPECT_EQ(folder.path("started"), real(file).string());
    EXPECT_EQ(refusal(folder, "away.json"),
              "no scene 'away.json' in " + real(scenes.path()).string());
    EXPECT_EQ(refusal(folder, "beside.json"),
              "no scene 'beside.json' in " + real(scenes.path()).string());

    // A started scene in a folder below is not the folder's own either, nor is one that does not
    // exist (the command reports that file when it reads it).
    const fs::path deep = scenes.write("sub/deep.json", "{}");
    EXPECT_EQ(ScenesFolder(scenes.path(), deep.string()).default_id(), "started");
    const ScenesFolder missing(scenes.path(), (scenes.path() / "gone.json").string());
    EXPECT_EQ(missing.default_id(), "started");
    EXPECT_EQ(missing.path("started"), (real(scenes.path()) / "gone.json").string());
}

TEST(ScenesFolder, IdsThatAreNotPlainFileNamesOfTheFolderReachNothing) {
    TemporaryFolder scenes;
    TemporaryFolder elsewhere;
    scenes.write("a.json", "{}");
    scenes.write("notes.txt", "");
    scenes.write("sub/deep.json", "{}");
    fs::create_directory(scenes.path() / "folder.json");
    const fs::path secret = elsewhere.write("secret.json", "{}");
    const ScenesFolder folder(scenes.path(), std::nullopt);
    const std::string in = " in " + real(scenes.path()).string();
    for (const std::string& id : std::vector<std::string>{
             "", ".", "..", "../a.json", "sub/deep.json", "sub\\deep.json", "C:a.json", "notes.txt",
             "folder.json", "missing.json", "started", secret.string()}) {
        EXPECT_EQ(refusal(folder, id), "no scene '" + id + "'" + in) << id;
    }
    EXPECT_EQ(refusal(folder, "a.json"), "found");

    // A link inside the folder to a scene outside it is neither listed nor reached.
    LINK_OR_SKIP(secret, scenes.path() / "link.json");
    EXPECT_EQ(ids_of(folder),
              (std::vector<std::string>{"builtin=built-in scene", "a.json=a.json"}));
    EXPECT_EQ(refusal(folder, "link.json"), "no scene 'link.json'" + in);
}

}  // namespace
