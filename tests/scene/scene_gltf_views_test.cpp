// What a glTF model places besides its triangles, and how: node transforms given in every form,
// the scene that is shown, cameras and lights with the faults of each refused by name, and a note
// for each kind of thing the host leaves out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gltf_model_file.h"
#include "host/scene/gltf_model.h"
#include "host/scene/scene_error.h"
#include "temporary_folder.h"
#include "thrown_text.h"

namespace {

using namespace tmhost;
using namespace tonemix_test;

ModelFile with_lights(const json& lights) {
    ModelFile file = single_triangle();
    file.doc["extensionsUsed"] = {"KHR_lights_punctual"};
    file.doc["extensions"]["KHR_lights_punctual"]["lights"] = lights;
    return file;
}

void light_node(ModelFile& file, int light, json node = json::object()) {
    node["extensions"]["KHR_lights_punctual"]["light"] = light;
    file.add_node(node);
}

TEST(SceneGltfViews, RefusesTransformsOfTheWrongShape) {
    const struct {
        json node;
        const char* message;
    } cases[] = {
        {{{"matrix", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0}}},
         "m.gltf: node 1: a matrix needs 16 numbers"},
        {{{"translation", {1, 2}}}, "m.gltf: node 1: a translation needs 3 numbers"},
        {{{"scale", {1, 2, 3, 4}}}, "m.gltf: node 1: a scale needs 3 numbers"},
        {{{"rotation", {0, 0, 1}}}, "m.gltf: node 1: a rotation needs 4 numbers"},
        {{{"rotation", {0, 0, 0, 0}}}, "m.gltf: node 1: a rotation of length 0 turns nothing"},
    };
    for (const auto& c : cases) {
        ModelFile file = single_triangle();
        file.add_node(c.node);
        EXPECT_EQ(error_of(file.text()), c.message) << c.node.dump();
    }
    // A quaternion written to a few decimals is made of length 1 before it turns anything.
    ModelFile file = single_triangle();
    file.doc["nodes"][0]["rotation"] = {0, 0, 2, 0};  // half a turn about z
    const GltfModel model = parse(file.text());
    const Vec3 turned = model.mesh.positions[model.mesh.triangles[0][1].position];
    EXPECT_NEAR(turned.x, -1.0, 1e-12);
    EXPECT_NEAR(turned.y, 0.0, 1e-12);
}

TEST(SceneGltfViews, ShowsTheDefaultSceneOrEveryRootWithoutOne) {
    ModelFile file = single_triangle();
    // Scene 1 shows a second node of the same mesh, moved; scene 0 the first.
    const int moved = file.add_node({{"mesh", 0}, {"translation", {0, 0, 5}}}, false);
    file.doc["scenes"].push_back({{"nodes", {moved}}});
    file.doc["scene"] = 1;
    GltfModel model = parse(file.text());
    ASSERT_EQ(model.mesh.triangles.size(), 1u);
    EXPECT_EQ(model.mesh.positions[0].z, 5.0);
    file.doc.erase("scene");
    model = parse(file.text());
    ASSERT_EQ(model.mesh.triangles.size(), 1u);
    EXPECT_EQ(model.mesh.positions[0].z, 0.0);
    file.doc["scene"] = 2;
    EXPECT_EQ(error_of(file.text()), "m.gltf: scene 2 does not exist");
    file.doc["scene"] = 0;
    file.doc["scenes"][0]["nodes"] = {4};
    EXPECT_EQ(error_of(file.text()), "m.gltf: scene 0: node 4 does not exist");

    // Without scenes, every node that is no child is shown.
    file.doc.erase("scenes");
    file.doc.erase("scene");
    const int child = file.add_node({{"mesh", 0}, {"translation", {0, 1, 0}}}, false);
    file.doc["nodes"][moved]["children"] = {child};
    model = parse(file.text());
    EXPECT_EQ(model.mesh.triangles.size(), 3u);
    file.doc["scene"] = 0;
    EXPECT_EQ(error_of(file.text()), "m.gltf: scene 0 does not exist");

    file.doc.erase("scene");
    file.doc["nodes"][moved]["children"] = {child, child};
    EXPECT_EQ(error_of(file.text()), "m.gltf: node 1 lists child 2 twice");
}

TEST(SceneGltfViews, RefusesCamerasItCannotPlace) {
    ModelFile file = single_triangle();
    file.doc["cameras"] = {{{"type", "perspective"}, {"perspective", {{"yfov", 1}, {"znear", 1}}}}};
    file.add_node({{"camera", 3}});
    EXPECT_EQ(error_of(file.text()), "m.gltf: node 1: camera 3 does not exist");
    file.doc["nodes"][1] = {{"camera", 0}, {"scale", {0, 0, 0}}};
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: node 1: its transform leaves camera 0 no place or direction to look in");
    // Looking along its own up, a camera has no side.
    file.doc["nodes"][1] = {{"camera", 0},
                            {"matrix", {1, 0, 0, 0, 0, 1, 0, 0, 0, -1, 0, 0, 0, 0, 0, 1}}};
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: node 1: its transform leaves camera 0 no place or direction to look in");
    file.doc["nodes"][1] = {
        {"camera", 0}, {"translation", {1e308, 0, 0}}, {"children", json::array()}};
    file.add_node({{"camera", 0}, {"translation", {1e308, 0, 0}}}, false);
    file.doc["nodes"][1]["children"] = {2};
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: node 2: its transform leaves camera 0 no place or direction to look in");
    file.doc["cameras"][0]["perspective"]["yfov"] = 0;
    EXPECT_EQ(error_of(file.text()), "m.gltf: camera 0: yfov 0.000000 is not between 0 and pi");
}

TEST(SceneGltfViews, RefusesPointLightsOutOfRange) {
    const struct {
        json light;
        const char* message;
    } cases[] = {
        {{{"type", "point"}, {"color", {1, 1}}}, "m.gltf: light 0: a colour needs 3 numbers"},
        {{{"type", "point"}, {"color", {1, 1e39, 1}}}, "m.gltf: light 0: colour out of range"},
        {{{"type", "point"}, {"intensity", -1e39}}, "m.gltf: light 0: intensity out of range"},
        {{{"type", "point"}, {"range", -2}}, "m.gltf: light 0: range -2.000000 is not above 0"},
    };
    for (const auto& c : cases) {
        ModelFile file = with_lights(json::array({c.light}));
        light_node(file, 0);
        EXPECT_EQ(error_of(file.text()), c.message) << c.light.dump();
    }
    ModelFile file = with_lights(json::array({{{"type", "point"}}}));
    light_node(file, 2);
    EXPECT_EQ(error_of(file.text()), "m.gltf: node 1: light 2 does not exist");
    file.doc["nodes"][1]["extensions"]["KHR_lights_punctual"] = json::object();
    EXPECT_EQ(error_of(file.text()), "m.gltf: node 1: KHR_lights_punctual names no light");
    file.doc["nodes"][1] = {{"matrix", {1e300, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1e300, 0, 0, 1}},
                            {"children", {2}}};
    light_node(file, 0, {{"translation", {1e300, 0, 0}}});
    file.doc["scenes"][0]["nodes"] = {0, 1};
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: node 2: its transform takes light 0 beyond the range of a double");
}

TEST(SceneGltfViews, NotesEveryKindLeftOutWithItsCount) {
    ModelFile file = with_lights(json::array({{{"type", "directional"}},
                                              {{"type", "spot"}, {"spot", json::object()}},
                                              {{"type", "area"}}}));
    for (int light : {0, 0, 1, 1, 2}) light_node(file, light);
    file.doc["cameras"] = {
        {{"type", "orthographic"},
         {"orthographic", {{"xmag", 1}, {"ymag", 1}, {"znear", 0}, {"zfar", 9}}}}};
    file.add_node({{"camera", 0}});
    file.add_node({{"camera", 0}});
    // Two skinned nodes, and a mesh with a morph target.
    file.doc["skins"] = {{{"joints", {0}}}};
    file.doc["nodes"][0]["skin"] = 0;
    file.add_node({{"mesh", 0}, {"skin", 0}});
    file.doc["meshes"][0]["primitives"][0]["targets"] = {{{"POSITION", 0}}};
    file.mesh_node({{"mode", 1}, {"attributes", {{"POSITION", 0}}}});
    const GltfModel model = parse(file.text());
    EXPECT_EQ(
        model.notes,
        (std::vector<std::string>{
            "1 primitive of points or lines left out", "2 meshes shown without their morph targets",
            "2 skinned nodes shown unposed, their skins left out",
            "2 orthographic cameras left out", "2 spot lights left out",
            "2 directional lights left out", "1 light of another kind left out"}));
}

TEST(SceneGltfViews, ReadsGlbByItsNameOrItsFirstBytes) {
    TemporaryFolder folder;
    ModelFile file = single_triangle();
    const std::string glb = file.glb();
    EXPECT_EQ(load_gltf_model(folder.write("upper.GLB", glb).string(), 10).mesh.triangles.size(),
              1u);
    EXPECT_EQ(load_gltf_model(folder.write("named.gltf", glb).string(), 10).mesh.triangles.size(),
              1u);
    const std::string bad = folder.write("bad.glb", "{}").string();
    EXPECT_EQ(thrown_text<SceneError>([&] { load_gltf_model(bad, 10); }),
              bad + ": not a binary glTF file (no glTF header)");
}

TEST(SceneGltfViews, TheLibrarysOwnMessagesComeAsOneLine) {
    ModelFile file = single_triangle();
    // The library ends its message with a line break, which the one line leaves out.
    file.doc["accessors"][0].erase("componentType");
    EXPECT_EQ(error_of(file.text()), "m.gltf: 'componentType' property is missing in Accessor.");
}

TEST(SceneGltfViews, RefusesAModeThatIsNoKindOfPrimitive) {
    ModelFile file = single_triangle();
    file.doc["meshes"][0]["primitives"][0]["mode"] = 7;
    EXPECT_EQ(error_of(file.text()), "m.gltf: mesh 0 primitive 0: mode 7 is no kind of primitive");
}

}  // namespace
