// The accessors of a glTF model, checked against their buffer views and buffers before a byte is
// read: every element an accessor names lies inside its view, and every view inside its buffer,
// in arithmetic that cannot overflow a 32-bit size_t.
#ifndef TMHOST_GLTF_ACCESSORS_H
#define TMHOST_GLTF_ACCESSORS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/scene/gltf_library.h"
#include "host/scene/scene.h"
#include "host/scene/vec3.h"

namespace tmhost {

// What an accessor is used for; each takes its own types.
enum class AccessorUse {
    position,  // VEC3 of FLOAT
    normal,    // VEC3 of FLOAT
    colour,    // VEC3 or VEC4 of FLOAT, UNSIGNED_BYTE or UNSIGNED_SHORT
    indices    // SCALAR of UNSIGNED_BYTE, UNSIGNED_SHORT or UNSIGNED_INT
};

// The elements of a checked accessor, in memory its model owns.
struct AccessorElements {
    const unsigned char* first = nullptr;
    std::size_t stride = 0;
    std::size_t count = 0;
    int component_type = 0;
    int components = 0;
};

// Throws SceneError "<path>: <place>: POSITION accessor 3 reaches past its buffer view" (and so
// for a missing accessor, view or buffer, a view past its buffer, a stride shorter than an
// element, a sparse accessor, an accessor without a view, the wrong type). `place` names the
// primitive ("mesh 0 primitive 1").
AccessorElements checked_accessor(const tinygltf::Model& model, int accessor, AccessorUse use,
                                  const std::string& place, const std::string& path);

// Element i (< count) of a checked accessor. Colours are normalized integers or floats as the
// file gives them, alpha dropped.
Vec3 vec3_element(const AccessorElements& elements, std::size_t i);
Colour colour_element(const AccessorElements& elements, std::size_t i);
std::uint32_t index_element(const AccessorElements& elements, std::size_t i);

// "POSITION accessor 3", "indices accessor 2": how messages name an accessor.
std::string accessor_name(AccessorUse use, int accessor);

}  // namespace tmhost

#endif
