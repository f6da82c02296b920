// What real model files hold and a render cannot use, mended and counted: normals of zero
// length, triangles without area, polygons of many corners, and the vertex colours some tools
// write, carried to the point a ray hits.
#include <gtest/gtest.h>

#include <string>

#include "host/scene/mesh_source.h"
#include "host/scene/obj_mesh.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"
#include "host/scene/shape_intersection.h"
#include "host/scene/tracer.h"
#include "temporary_folder.h"

namespace {

using namespace tmhost;

TEST(SceneMeshRepairs, ZeroNormalsGiveTheirTrianglesTheFaceNormal) {
    // The second triangle names normal 2, of zero length; the first keeps its own normals.
    const MeshSource source = parse_obj_source(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvn 0 0 1\nvn 0 0 0\n"
        "f 1//1 2//1 3//1\nf 2//1 4//2 3//1\n",
        "m.obj");
    const BuiltMesh built = build_mesh(source, "m.obj", {});
    EXPECT_EQ(built.repairs.zero_normals, 1u);
    EXPECT_EQ(built.repairs.degenerate_triangles, 0u);
    ASSERT_EQ(built.data->triangles.size(), 2u);
    EXPECT_EQ(built.data->triangles[0].normals, (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(built.data->triangles[1].normals, (std::array<int, 3>{-1, -1, -1}));
    // A normal too short to be made unit length is no better than a zero one.
    const MeshSource tiny =
        parse_obj_source("v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 1e-300 0\nf 1//1 2//1 3//1\n", "m.obj");
    EXPECT_EQ(build_mesh(tiny, "m.obj", {}).repairs.zero_normals, 1u);
}

TEST(SceneMeshRepairs, TrianglesWithoutAreaAreLeftOutAndCounted) {
    // A repeated corner (as in "f 857 853 860" of a real file whose 857 and 860 coincide), three
    // corners on one line, and one sound triangle.
    const MeshSource source = parse_obj_source(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 2 0 0\nv 0 0 0\n"
        "f 1 2 5\nf 1 2 4\nf 1 2 3\n",
        "m.obj");
    const BuiltMesh built = build_mesh(source, "m.obj", {});
    EXPECT_EQ(built.repairs.degenerate_triangles, 2u);
    ASSERT_EQ(built.data->triangles.size(), 1u);
    EXPECT_EQ(built.data->triangles[0].edge2.y, 1.0);
    EXPECT_EQ(repairs_line("spider.obj", built.repairs),
              "spider.obj: 0 normals of zero length replaced, 2 degenerate triangles left out");
    EXPECT_EQ(repairs_line("spider.obj", {1, 1}),
              "spider.obj: 1 normal of zero length replaced, 1 degenerate triangle left out");
    EXPECT_FALSE(MeshRepairs{}.any());
}

TEST(SceneMeshRepairs, APolygonOfManyCornersIsAFanOfTriangles) {
    // 936 corners on a circle-like zigzag: 934 triangles, each from the first corner.
    std::string text;
    for (int i = 0; i < 936; ++i) {
        text += "v " + std::to_string(i) + " " + std::to_string(i % 2 == 0 ? i : -i) + " 0\n";
    }
    text += "f";
    for (int i = 1; i <= 936; ++i) text += " " + std::to_string(i);
    const MeshSource source = parse_obj_source(text + "\n", "m.obj");
    ASSERT_EQ(source.triangles.size(), 934u);
    EXPECT_EQ(source.triangles[933][0].position, 0u);
    EXPECT_EQ(source.triangles[933][2].position, 935u);
    EXPECT_EQ(source.origins[933], 937u);  // the face's line
}

TEST(SceneMeshRepairs, VertexColoursReachTheHitInterpolated) {
    // Red, green and blue corners; a colour past 1 is taken as 1, one below 0 as 0.
    const auto mesh =
        parse_obj_mesh("v 0 0 0 2 0 0\nv 1 0 0 0 1 -1\nv 0 1 0 0 0 1\nf 1 2 3\n", "m.obj", {});
    ASSERT_EQ(mesh->corner_colours.size(), 1u);
    EXPECT_EQ(mesh->corner_colours[0][0], (Colour{1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(mesh->corner_colours[0][1], (Colour{0.0f, 1.0f, 0.0f}));
    // At u = 1/4, v = 1/2 the weights of the corners are 1/4, 1/4 and 1/2.
    const auto hit = intersect_triangle(*mesh, 0, {{0.25, 0.5, 2}, {0, 0, -1}}, 1e-9, 1e9);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->tint, (Colour{0.25f, 0.25f, 0.5f}));
    Scene scene;
    scene.objects.push_back({"m", Mesh{mesh}, {}});
    const Tracer tracer(scene);
    const auto seen = tracer.nearest_hit({{0.25, 0.5, 2}, {0, 0, -1}});
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->tint, (Colour{0.25f, 0.25f, 0.5f}));
    // Without colours in the file the tint is white, and no colours are kept.
    const auto plain = parse_obj_mesh("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "m.obj", {});
    EXPECT_TRUE(plain->corner_colours.empty());
    EXPECT_EQ(intersect_triangle(*plain, 0, {{0.25, 0.5, 2}, {0, 0, -1}}, 1e-9, 1e9)->tint,
              (Colour{1.0f, 1.0f, 1.0f}));
    // A vertex without a colour among coloured ones keeps the object's colour.
    const auto mixed =
        parse_obj_mesh("v 0 0 0 0.5 0.5 0.5\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "m.obj", {});
    EXPECT_EQ(mixed->corner_colours[0][1], (Colour{1.0f, 1.0f, 1.0f}));
}

TEST(SceneMeshRepairs, ASceneSaysWhatItsMeshesHadMended) {
    TemporaryFolder folder;
    folder.write("worn.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 0\nf 1//1 2//1 3//1\nf 1 1 2\n");
    folder.write("sound.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string path =
        folder
            .write("scene.json",
                   R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40},
                       "objects": [{"type": "mesh", "name": "a", "file": "worn.obj"},
                                   {"type": "mesh", "name": "b", "file": "sound.obj"}]})")
            .string();
    const Scene scene = load_scene_file(path);
    ASSERT_EQ(scene.notes.size(), 1u);
    EXPECT_EQ(scene.notes[0], (folder.path() / "worn.obj").string() +
                                  ": 1 normal of zero length replaced, 1 degenerate triangle "
                                  "left out");
}

}  // namespace
