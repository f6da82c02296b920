// Parameter containers and the host nodes that carry them.
//
// A container holds typed values by id in insertion order: reals, bools, longs and custom-data
// elements (a type id and a data pointer the host lends). The module only ever sees pointers to
// containers, nodes and elements that the store hands out; the store checks every pointer that
// comes back against what it handed out before using it.
#ifndef TMHOST_CONTAINER_STORE_H
#define TMHOST_CONTAINER_STORE_H

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "host/core/misuse_log.h"
#include "host_api.h"

namespace tmhost {

enum class ValueType { real, boolean, integer, custom };

struct Element {
    int32_t id = 0;
    ValueType type = ValueType::integer;
    float real = 0.0f;
    int32_t word = 0;         // a bool's or a long's value
    int32_t custom_type = 0;  // custom data only
    void* data = nullptr;     // custom data only; lent, never freed by the host
};

// An element's type and value as the host's reports show them: "long 8", "real 20",
// "custom type 1009290" (data pointers are not shown).
std::string value_text(const Element& element);

class Container {
public:
    Container() = default;
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    int32_t find_index(int32_t id) const;  // -1 when absent
    // Create or replace; a replaced value takes the new type.
    void set_real(int32_t id, float value);
    void set_bool(int32_t id, int32_t value);
    void set_long(int32_t id, int32_t value);
    void set_custom(int32_t id, int32_t type_id, void* data);
    bool remove(int32_t id);
    void clear() { elements_.clear(); }

    // A missing id or a value of another type reads as 0; bools and longs read each other.
    float get_real(int32_t id) const;
    int32_t get_bool(int32_t id) const;
    int32_t get_long(int32_t id) const;
    Element* get_data(int32_t id);             // null when absent
    const Element* element(int32_t id) const;  // null when absent

    bool holds(const void* element) const;
    // True when a custom-data element of that type lends data.
    bool lends(const void* data, int32_t type_id) const;
    std::size_t size() const { return elements_.size(); }
    const Element& at(std::size_t index) const { return *elements_[index]; }
    // One line per value, in insertion order: "1008 long 8", "1009 real 20",
    // "2000 custom type 1009290" (data pointers are not shown).
    std::vector<std::string> dump() const;

private:
    Element& slot(int32_t id, ValueType type);

    std::vector<std::unique_ptr<Element>> elements_;  // stable addresses: the module holds them
};

struct Node {
    Container container;

    // The node as the module's operations receive it.
    HostNodeHandle handle() { return reinterpret_cast<HostNodeHandle>(this); }
};

class ContainerStore {
public:
    explicit ContainerStore(MisuseLog& misuses) : misuses_(misuses) {}

    // Host objects live as long as the store unless destroyed.
    Container& make_container();
    Node& make_node();
    void destroy(const Container& container);
    void destroy(const Node& node);

    // Null (after reporting) for a pointer the store never handed out or already destroyed.
    Container* container_for(void* c, const char* operation);
    // The element if it belongs to a live container, else null; null itself is no misuse.
    Element* element_for(void* element, const char* operation);
    // node_get_container never answers null: an unknown node is reported and gets an empty
    // container that lives until the next such call.
    Container& node_container(void* node);
    // True when a live container or node lends data as custom data of that type.
    bool lends(const void* data, int32_t type_id) const;

private:
    MisuseLog& misuses_;
    std::list<Container> containers_;
    std::list<Node> nodes_;
    Container stray_;
};

}  // namespace tmhost

#endif
