#include "host/scene/scene_extent.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace tmhost {

namespace {

struct Bounds {
    Vec3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    Vec3 high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool empty = true;

    void add(const Vec3& point) {
        low = {std::min(low.x, point.x), std::min(low.y, point.y), std::min(low.z, point.z)};
        high = {std::max(high.x, point.x), std::max(high.y, point.y), std::max(high.z, point.z)};
        empty = false;
    }
};

}  // namespace

std::optional<SceneBounds> scene_bounds(const Scene& scene) {
    Bounds bounds;
    for (const SceneObject& object : scene.objects) {
        std::visit(
            [&](const auto& shape) {
                using T = std::decay_t<decltype(shape)>;
                if constexpr (std::is_same_v<T, Sphere>) {
                    const Vec3 r{shape.radius, shape.radius, shape.radius};
                    bounds.add(shape.center - r);
                    bounds.add(shape.center + r);
                } else if constexpr (std::is_same_v<T, Box>) {
                    bounds.add(shape.min);
                    bounds.add(shape.max);
                } else if constexpr (std::is_same_v<T, Mesh>) {
                    for (const MeshTriangle& triangle : shape.data->triangles) {
                        bounds.add(triangle.corner);
                        bounds.add(triangle.corner + triangle.edge1);
                        bounds.add(triangle.corner + triangle.edge2);
                    }
                }
            },
            object.shape);
    }
    if (bounds.empty) return std::nullopt;
    return SceneBounds{bounds.low, bounds.high};
}

std::optional<double> scene_extent(const Scene& scene) {
    const std::optional<SceneBounds> bounds = scene_bounds(scene);
    if (!bounds) return std::nullopt;
    return length(bounds->high - bounds->low);
}

}  // namespace tmhost
