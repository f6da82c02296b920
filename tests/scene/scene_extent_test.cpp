// The size of a scene: the diagonal of the box around its spheres, boxes and meshes, planes left
// out.
#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "host/scene/scene_extent.h"

namespace {

using namespace tmhost;

SceneObject object(Shape shape) {
    SceneObject made;
    made.shape = std::move(shape);
    return made;
}

TEST(SceneExtent, TheDiagonalOfEverythingButPlanes) {
    Scene scene;
    EXPECT_FALSE(scene_extent(scene).has_value());
    scene.objects.push_back(object(Plane{}));
    EXPECT_FALSE(scene_extent(scene).has_value()) << "a plane has no size";

    scene.objects.push_back(object(Sphere{{0, 1, 0}, 1.0}));  // x, z -1..1, y 0..2
    EXPECT_DOUBLE_EQ(*scene_extent(scene), std::sqrt(12.0));
    scene.objects.push_back(object(Box{{2, 0, 0}, {3, 4, 1}}));  // x -1..3, y 0..4, z -1..1
    EXPECT_DOUBLE_EQ(*scene_extent(scene), std::sqrt(16.0 + 16.0 + 4.0));

    auto data = std::make_shared<MeshData>();
    MeshTriangle triangle;
    triangle.corner = {0, 0, 0};
    triangle.edge1 = {0, 0, -5};  // z down to -5
    triangle.edge2 = {0, 6, 0};   // y up to 6
    data->triangles.push_back(triangle);
    scene.objects.push_back(object(Mesh{data}));
    EXPECT_DOUBLE_EQ(*scene_extent(scene), std::sqrt(16.0 + 36.0 + 36.0));
}

}  // namespace
