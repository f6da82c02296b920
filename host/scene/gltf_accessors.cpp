#include "host/scene/gltf_accessors.h"

#include <cstring>

#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

const char* use_name(AccessorUse use) {
    switch (use) {
    case AccessorUse::position:
        return "POSITION";
    case AccessorUse::normal:
        return "NORMAL";
    case AccessorUse::colour:
        return "COLOR_0";
    case AccessorUse::indices:
        break;
    }
    return "indices";
}

const char* type_name(int type) {
    switch (type) {
    case TINYGLTF_TYPE_SCALAR:
        return "SCALAR";
    case TINYGLTF_TYPE_VEC2:
        return "VEC2";
    case TINYGLTF_TYPE_VEC3:
        return "VEC3";
    case TINYGLTF_TYPE_VEC4:
        return "VEC4";
    case TINYGLTF_TYPE_MAT2:
        return "MAT2";
    case TINYGLTF_TYPE_MAT3:
        return "MAT3";
    case TINYGLTF_TYPE_MAT4:
        return "MAT4";
    default:
        break;
    }
    return "an unknown type";
}

const char* component_name(int component_type) {
    switch (component_type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
        return "BYTE";
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return "UNSIGNED_BYTE";
    case TINYGLTF_COMPONENT_TYPE_SHORT:
        return "SHORT";
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return "UNSIGNED_SHORT";
    case TINYGLTF_COMPONENT_TYPE_INT:
        return "INT";
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        return "UNSIGNED_INT";
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return "FLOAT";
    case TINYGLTF_COMPONENT_TYPE_DOUBLE:
        return "DOUBLE";
    default:
        break;
    }
    return "an unknown component type";
}

std::size_t component_size(int component_type) {
    switch (component_type) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
    default:
        break;
    }
    return 4;  // the only other types that pass the use's check: FLOAT, UNSIGNED_INT
}

bool accepted(AccessorUse use, int type, int component_type) {
    switch (use) {
    case AccessorUse::position:
    case AccessorUse::normal:
        return type == TINYGLTF_TYPE_VEC3 && component_type == TINYGLTF_COMPONENT_TYPE_FLOAT;
    case AccessorUse::colour:
        return (type == TINYGLTF_TYPE_VEC3 || type == TINYGLTF_TYPE_VEC4) &&
               (component_type == TINYGLTF_COMPONENT_TYPE_FLOAT ||
                component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
    case AccessorUse::indices:
        break;
    }
    return type == TINYGLTF_TYPE_SCALAR &&
           (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
            component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
            component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
}

const char* accepted_types(AccessorUse use) {
    switch (use) {
    case AccessorUse::position:
    case AccessorUse::normal:
        return "VEC3 of FLOAT";
    case AccessorUse::colour:
        return "VEC3 or VEC4 of FLOAT, UNSIGNED_BYTE or UNSIGNED_SHORT";
    case AccessorUse::indices:
        break;
    }
    return "SCALAR of UNSIGNED_BYTE, UNSIGNED_SHORT or UNSIGNED_INT";
}

float component(const unsigned char* at, int component_type) {
    switch (component_type) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return static_cast<float>(*at) / 255.0f;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        std::uint16_t value = 0;
        std::memcpy(&value, at, sizeof value);
        return static_cast<float>(value) / 65535.0f;
    }
    default:
        break;
    }
    float value = 0.0f;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

std::string accessor_name(AccessorUse use, int accessor) {
    return std::string(use_name(use)) + " accessor " + std::to_string(accessor);
}

AccessorElements checked_accessor(const tinygltf::Model& model, int index, AccessorUse use,
                                  const std::string& place, const std::string& path) {
    const std::string name = path + ": " + place + ": " + accessor_name(use, index);
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) {
        throw SceneError(name + " does not exist");
    }
    const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
    if (accessor.sparse.isSparse) {
        throw SceneError(name + " is sparse, which tonemix-host does not read");
    }
    if (!accepted(use, accessor.type, accessor.componentType)) {
        throw SceneError(name + " holds " + type_name(accessor.type) + " of " +
                         component_name(accessor.componentType) + ", not " + accepted_types(use));
    }
    if (accessor.bufferView < 0) {
        throw SceneError(name +
                         " has no buffer view (only zeros), which tonemix-host does not read");
    }
    const auto view_index = static_cast<std::size_t>(accessor.bufferView);
    if (view_index >= model.bufferViews.size()) {
        throw SceneError(name + ": buffer view " + std::to_string(view_index) + " does not exist");
    }
    const tinygltf::BufferView& view = model.bufferViews[view_index];
    const std::string view_name = path + ": buffer view " + std::to_string(view_index);
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
        throw SceneError(view_name + ": buffer " + std::to_string(view.buffer) + " does not exist");
    }
    const tinygltf::Buffer& buffer = model.buffers[static_cast<std::size_t>(view.buffer)];
    if (view.byteOffset > buffer.data.size() ||
        view.byteLength > buffer.data.size() - view.byteOffset) {
        throw SceneError(view_name + " reaches past its buffer " + std::to_string(view.buffer));
    }

    AccessorElements elements;
    elements.component_type = accessor.componentType;
    elements.components = accessor.type == TINYGLTF_TYPE_SCALAR ? 1 : accessor.type;
    elements.count = accessor.count;
    const std::size_t element_size =
        component_size(accessor.componentType) * static_cast<std::size_t>(elements.components);
    elements.stride = view.byteStride != 0 ? view.byteStride : element_size;
    if (elements.stride < element_size) {
        throw SceneError(name + ": its buffer view's stride of " + std::to_string(view.byteStride) +
                         " bytes is shorter than an element of " + std::to_string(element_size));
    }
    // offset + stride * (count - 1) + element size <= view length, without a product that could
    // overflow.
    if (elements.count != 0) {
        const std::size_t length = view.byteLength;
        if (accessor.byteOffset > length || element_size > length - accessor.byteOffset ||
            (elements.count - 1) >
                (length - accessor.byteOffset - element_size) / elements.stride) {
            throw SceneError(name + " reaches past its buffer view");
        }
    }
    elements.first = buffer.data.data() + view.byteOffset + accessor.byteOffset;
    return elements;
}

Vec3 vec3_element(const AccessorElements& elements, std::size_t i) {
    const unsigned char* at = elements.first + i * elements.stride;
    float xyz[3];
    std::memcpy(xyz, at, sizeof xyz);
    return {xyz[0], xyz[1], xyz[2]};
}

Colour colour_element(const AccessorElements& elements, std::size_t i) {
    const unsigned char* at = elements.first + i * elements.stride;
    const std::size_t size = component_size(elements.component_type);
    return {component(at, elements.component_type), component(at + size, elements.component_type),
            component(at + 2 * size, elements.component_type)};
}

std::uint32_t index_element(const AccessorElements& elements, std::size_t i) {
    const unsigned char* at = elements.first + i * elements.stride;
    switch (elements.component_type) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return *at;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        std::uint16_t value = 0;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    default:
        break;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace tmhost
