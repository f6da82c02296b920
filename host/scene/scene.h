// What a scene file describes, after the parser has checked it: every name resolved to an index,
// every normal unit length, every number finite. Plain data; the tracer and the glue read it.
#ifndef TMHOST_SCENE_H
#define TMHOST_SCENE_H

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/scene/vec3.h"

namespace tmhost {

// Linear light values in the shader's own precision: R, G, B.
using Colour = std::array<float, 3>;

struct Camera {
    Vec3 position;
    Vec3 target;
    Vec3 up{0.0, 1.0, 0.0};
    double fov_degrees = 45.0;  // vertical, strictly between 0 and 180
};

struct Sphere {
    Vec3 center;
    double radius = 1.0;  // > 0
};

// Infinite; seen from either side.
struct Plane {
    Vec3 point;
    Vec3 normal{0.0, 1.0, 0.0};  // unit length
};

// Axis-aligned; min <= max on every axis (a flat box is a rectangle).
struct Box {
    Vec3 min;
    Vec3 max;
};

// One triangle of a mesh, held as the intersection test uses it: a corner and the two edges from
// it, and the mesh's normals at its three corners (indices into MeshData::normals, or -1 each
// when the file gives none, and the face's own normal is used).
struct MeshTriangle {
    Vec3 corner;
    Vec3 edge1;
    Vec3 edge2;
    std::array<int, 3> normals{-1, -1, -1};
};

// A triangle mesh in scene coordinates, its transform applied: every vertex finite and within the
// coordinate limit, every triangle of non-zero area, every normal unit length.
struct MeshData {
    std::vector<MeshTriangle> triangles;
    std::vector<Vec3> normals;
    // The file's colours at the three corners of each triangle, each channel within 0 to 1,
    // interpolated at the point hit and multiplying the object's colour; empty when the file
    // gives none.
    std::vector<std::array<Colour, 3>> corner_colours;
};

// Shared, so that copying a scene does not copy its triangles.
struct Mesh {
    std::shared_ptr<const MeshData> data;
};

using Shape = std::variant<Sphere, Plane, Box, Mesh>;

struct SceneObject {
    std::string name;
    Shape shape;
    Colour colour{1.0f, 1.0f, 1.0f};  // multiplies the shader's colour
};

enum class Falloff { none, linear, inverse_square };

struct Light {
    std::string name;
    Vec3 position;
    Colour colour{1.0f, 1.0f, 1.0f};
    float intensity = 1.0f;
    Falloff falloff = Falloff::none;
    double reference_distance = 1.0;  // > 0; the distance up to which the light is at full strength
    bool shadows = true;
    // Beyond this distance the light delivers nothing (> 0; infinite: it reaches everywhere).
    double range = std::numeric_limits<double>::infinity();
    std::vector<int> excluded_objects;  // indices into Scene::objects, ascending, no repeats
};

enum class ListMode { exclude, include };

struct LightList {
    ListMode mode = ListMode::exclude;
    std::vector<int> lights;  // indices into Scene::lights, in the file's order
};

struct Scene {
    Camera camera;
    std::vector<SceneObject> objects;
    std::vector<Light> lights;
    // Shader parameters by name, as written: the glue checks them against the module's description.
    nlohmann::json shader = nlohmann::json::object();
    std::optional<LightList> light_list;
    int width = 640;
    int height = 480;
    Colour background{0.0f, 0.0f, 0.0f};
    // The mesh files the scene was read from, as they were opened, in the order of its objects:
    // with the scene's own file, what a change on disk makes stale.
    std::vector<std::string> mesh_files;
    // What reading the meshes mended or left out, one line each naming the file: a user who sees
    // a part of a model missing learns why.
    std::vector<std::string> notes;
};

}  // namespace tmhost

#endif
