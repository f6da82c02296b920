// Model files rendered as scenes: one mesh written in every format the host reads renders to the
// same bytes, a triangle of each format in a scene file lights to the known answer, the stage says
// what it chose before the render, and a turned camera is the camera a scene file would give.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model_writers.h"
#include "render_test_support.h"

namespace {

using tonemix_test::CommandRun;
using tonemix_test::joined;
using tonemix_test::PlyFormat;
using tonemix_test::TestMesh;

// A tetrahedron with corners at short binary fractions, so that every format holds them exactly.
TestMesh tetrahedron() {
    TestMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0.25f, 0.75f, 0.25f}};
    mesh.triangles = {{0, 1, 2}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};
    return mesh;
}

struct Written {
    const char* name;
    std::string bytes;
};

std::vector<Written> every_format(const TestMesh& mesh) {
    return {
        {"shape.obj", tonemix_test::obj_text(mesh)},
        {"shape.ply", tonemix_test::ply_bytes(mesh, PlyFormat::ascii)},
        {"shape_le.ply", tonemix_test::ply_bytes(mesh, PlyFormat::little_endian)},
        {"shape_be.ply", tonemix_test::ply_bytes(mesh, PlyFormat::big_endian)},
        {"shape.stl", tonemix_test::stl_text(mesh)},
        {"shape_binary.stl", tonemix_test::stl_bytes(mesh)},
        {"shape.gltf", tonemix_test::gltf_embedded(mesh)},
        {"shape.glb", tonemix_test::glb_bytes(mesh)},
    };
}

const std::vector<std::string> kSmall = {"--width",   "32", "--height", "24",
                                         "--threads", "2",  "--set",    "samples=4"};

TEST(RenderModelFiles, OneMeshInEveryFormatRendersToTheSameBytes) {
    tmhost::TemporaryFolder folder;
    std::string first;
    for (const Written& file : every_format(tetrahedron())) {
        std::vector<std::string> arguments = kSmall;
        arguments.insert(arguments.begin(), folder.write(file.name, file.bytes).string());
        const std::string image = tonemix_test::render_pfm_bytes(folder, arguments);
        ASSERT_FALSE(image.empty()) << file.name;
        if (first.empty()) {
            first = image;
            continue;
        }
        EXPECT_TRUE(image == first) << file.name << " renders another image than shape.obj";
    }
    // The comparison can fail: the same mesh one corner moved.
    TestMesh moved = tetrahedron();
    moved.positions[3][1] = 0.5f;
    std::vector<std::string> arguments = kSmall;
    arguments.insert(
        arguments.begin(),
        folder.write("moved.ply", tonemix_test::ply_bytes(moved, PlyFormat::ascii)).string());
    EXPECT_NE(tonemix_test::render_pfm_bytes(folder, arguments), first);
}

// A triangle that fills the camera's whole view, facing it; a scene file names its mesh file.
std::string triangle_scene(const std::string& file) {
    return R"({
  "camera": { "position": [0, 0, 5], "target": [0, 0, 0], "fov": 40 },
  "objects": [ { "type": "mesh", "name": "t", "file": ")" +
           file + R"(", "colour": [0.5, 0.25, 0.75] } ],
  "lights": [ { "name": "key", "position": [-2, 1, 4], "colour": [0.75, 0.5, 0.125],
                "intensity": 2 } ],
  "image": { "width": 8, "height": 6 },
  "shader": { "samples": 1, "shadows": false }
})";
}

::testing::AssertionResult every_pixel(const tmhost::Image& image, const std::vector<float>& rgb) {
    if (image.width() != 8 || image.height() != 6) {
        return ::testing::AssertionFailure() << "no 8x6 image";
    }
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            for (int c = 0; c < 3; ++c) {
                if (image.pixel(x, y)[c] != rgb[static_cast<std::size_t>(c)]) {
                    return ::testing::AssertionFailure()
                           << "pixel (" << x << ", " << y << ") channel " << c << ": "
                           << image.pixel(x, y)[c];
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(RenderModelFiles, ATriangleOfEachFormatLightsToTheKnownAnswer) {
    TestMesh triangle;
    triangle.positions = {{-100, -100, 0}, {100, -100, 0}, {0, 100, 0}};
    triangle.triangles = {{0, 1, 2}};
    tmhost::TemporaryFolder folder;
    // The object's colour times the light's colour times its intensity, each exact in float.
    const std::vector<float> lit = {0.75f, 0.25f, 0.1875f};
    for (const Written& file : every_format(triangle)) {
        folder.write(file.name, file.bytes);
        const std::string scene =
            folder.write(std::string(file.name) + ".json", triangle_scene(file.name)).string();
        EXPECT_TRUE(every_pixel(tonemix_test::render_image(folder, {scene}), lit)) << file.name;
    }
    // Vertex colours of one half multiply the object's colour: the same in OBJ and PLY.
    triangle.colours = {{0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}};
    const std::vector<float> half = {0.375f, 0.125f, 0.09375f};
    for (const Written& file :
         {Written{"grey.obj", tonemix_test::obj_text(triangle)},
          Written{"grey.ply", tonemix_test::ply_bytes(triangle, PlyFormat::little_endian)}}) {
        folder.write(file.name, file.bytes);
        const std::string scene =
            folder.write(std::string(file.name) + ".json", triangle_scene(file.name)).string();
        EXPECT_TRUE(every_pixel(tonemix_test::render_image(folder, {scene}), half)) << file.name;
    }
}

TEST(RenderModelFiles, TheStageSaysItsReachBeforeTheRender) {
    tmhost::TemporaryFolder folder;
    const std::string model =
        folder.write("shape.obj", tonemix_test::obj_text(tetrahedron())).string();
    std::vector<std::string> arguments = kSmall;
    arguments.insert(arguments.begin(), model);
    arguments.insert(arguments.end(), {"-o", (folder.path() / "a.png").string()});
    const CommandRun run = tonemix_test::render(arguments);
    ASSERT_EQ(run.status, 0) << joined(run.report.errors);
    // The tetrahedron's bounds are 1 x 0.75 x 1: a diagonal of 1.6.
    ASSERT_EQ(run.report.notes.size(), 1u) << joined(run.report.notes);
    EXPECT_EQ(run.report.notes[0], model +
                                       ": distance 0.64 and offset 0.024 from the model's size "
                                       "of 1.6 (--set distance=D --set offset=O to change)");
    EXPECT_TRUE(run.report.warnings.empty()) << joined(run.report.warnings);
    arguments.insert(arguments.end(), {"--set", "distance=2"});
    EXPECT_EQ(tonemix_test::render(arguments).report.notes,
              (std::vector<std::string>{model + ": offset 0.024 from the model's size of 1.6 "
                                                "(--set offset=O to change)"}));
    arguments.insert(arguments.end(), {"--set", "TONEMIX_OFFSET=0.1"});
    EXPECT_TRUE(tonemix_test::render(arguments).report.notes.empty());
}

TEST(RenderModelFiles, ATurnedCameraIsTheCameraAFileWouldGive) {
    tmhost::TemporaryFolder folder;
    const std::string scene = R"({
  "camera": { "position": [CAMERA], "target": [0, 0.5, 0], "fov": 40 },
  "objects": [ { "type": "sphere", "name": "ball", "center": [0, 0.5, 0], "radius": 0.5 },
               { "type": "box", "name": "crate", "min": [0.6, 0, -0.5], "max": [1.2, 0.6, 0.1] } ],
  "lights": [ { "name": "key", "position": [-2, 3, 4] } ],
  "image": { "width": 24, "height": 16 },
  "shader": { "samples": 4, "distance": 0.5, "offset": 0.02 }
})";
    const auto with_camera = [&](const std::string& name, const std::string& camera) {
        std::string text = scene;
        text.replace(text.find("CAMERA"), 6, camera);
        return folder.write(name, text).string();
    };
    const std::string front = with_camera("front.json", "0, 0.5, 5");
    // A quarter turn about the up axis through the target puts the camera at +x, exactly.
    const std::string side = with_camera("side.json", "5, 0.5, 0");
    const std::string turned =
        tonemix_test::render_pfm_bytes(folder, {front, "--camera-orbit", "90,0"}, "turned.pfm");
    ASSERT_FALSE(turned.empty());
    EXPECT_TRUE(turned == tonemix_test::render_pfm_bytes(folder, {side}, "side.pfm"));
    EXPECT_FALSE(turned == tonemix_test::render_pfm_bytes(folder, {front}, "front.pfm"));
    // Zoom 2 halves the distance.
    const std::string near = with_camera("near.json", "0, 0.5, 2.5");
    EXPECT_TRUE(tonemix_test::render_pfm_bytes(folder, {front, "--camera-zoom", "2"}, "z.pfm") ==
                tonemix_test::render_pfm_bytes(folder, {near}, "near.pfm"));

    const auto error_of = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), front);
        arguments.insert(arguments.end(), {"-o", (folder.path() / "x.png").string()});
        const CommandRun run = tonemix_test::render(arguments);
        EXPECT_EQ(run.status, 2);
        return run.error();
    };
    EXPECT_EQ(
        error_of({"--camera-orbit", "90"}),
        "--camera-orbit: expected AZ,EL in degrees (AZ within 3600, EL within 180), got '90'");
    EXPECT_EQ(error_of({"--camera-orbit", "nan,0"}),
              "--camera-orbit: expected AZ,EL in degrees (AZ within 3600, EL within 180), got "
              "'nan,0'");
    EXPECT_EQ(error_of({"--camera-zoom", "0"}),
              "--camera-zoom: expected a factor from 0.001 to 1000, got '0'");
    EXPECT_EQ(error_of({"--camera-pan", "1,200"}),
              "--camera-pan: expected X,Y in view heights, each from -100 to 100, got '1,200'");
    EXPECT_EQ(error_of({"--up", "z"}),
              "--up: only for model files (.obj, .ply, .stl, .gltf, .glb); a scene file's camera "
              "says where it looks");
    EXPECT_EQ(error_of({"--up", "x"}), "--up: expected y or z, got 'x'");
}

}  // namespace
