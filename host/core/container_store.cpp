#include "host/core/container_store.h"

#include "host/core/text_format.h"

namespace tmhost {

std::string value_text(const Element& element) {
    switch (element.type) {
    case ValueType::real:
        return "real " + real_text(element.real);
    case ValueType::boolean:
        return "bool " + std::to_string(element.word);
    case ValueType::integer:
        return "long " + std::to_string(element.word);
    case ValueType::custom:
        return "custom type " + std::to_string(element.custom_type);
    }
    return "?";
}

int32_t Container::find_index(int32_t id) const {
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        if (elements_[i]->id == id) return static_cast<int32_t>(i);
    }
    return -1;
}

const Element* Container::element(int32_t id) const {
    const int32_t index = find_index(id);
    return index >= 0 ? elements_[static_cast<std::size_t>(index)].get() : nullptr;
}

Element& Container::slot(int32_t id, ValueType type) {
    const int32_t index = find_index(id);
    if (index < 0) {
        elements_.push_back(std::make_unique<Element>());
    }
    Element& e = index < 0 ? *elements_.back() : *elements_[static_cast<std::size_t>(index)];
    e = Element();
    e.id = id;
    e.type = type;
    return e;
}

void Container::set_real(int32_t id, float value) { slot(id, ValueType::real).real = value; }
void Container::set_bool(int32_t id, int32_t value) { slot(id, ValueType::boolean).word = value; }
void Container::set_long(int32_t id, int32_t value) { slot(id, ValueType::integer).word = value; }

void Container::set_custom(int32_t id, int32_t type_id, void* data) {
    Element& e = slot(id, ValueType::custom);
    e.custom_type = type_id;
    e.data = data;
}

bool Container::remove(int32_t id) {
    const int32_t index = find_index(id);
    if (index < 0) return false;
    elements_.erase(elements_.begin() + index);
    return true;
}

float Container::get_real(int32_t id) const {
    const Element* e = element(id);
    return e != nullptr && e->type == ValueType::real ? e->real : 0.0f;
}

int32_t Container::get_bool(int32_t id) const { return get_long(id); }

int32_t Container::get_long(int32_t id) const {
    const Element* e = element(id);
    if (e == nullptr) return 0;
    return e->type == ValueType::boolean || e->type == ValueType::integer ? e->word : 0;
}

Element* Container::get_data(int32_t id) {
    const int32_t index = find_index(id);
    return index >= 0 ? elements_[static_cast<std::size_t>(index)].get() : nullptr;
}

bool Container::holds(const void* element) const {
    for (const auto& e : elements_) {
        if (e.get() == element) return true;
    }
    return false;
}

bool Container::lends(const void* data, int32_t type_id) const {
    for (const auto& e : elements_) {
        if (e->type == ValueType::custom && e->custom_type == type_id && e->data == data) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> Container::dump() const {
    std::vector<std::string> lines;
    for (const auto& e : elements_) {
        std::string line = std::to_string(e->id) + " " + value_text(*e);
        if (e->type == ValueType::custom && e->data == nullptr) line += " (no data)";
        lines.push_back(line);
    }
    return lines;
}

Container& ContainerStore::make_container() { return containers_.emplace_back(); }

Node& ContainerStore::make_node() { return nodes_.emplace_back(); }

void ContainerStore::destroy(const Container& container) {
    containers_.remove_if([&](const Container& c) { return &c == &container; });
}

void ContainerStore::destroy(const Node& node) {
    nodes_.remove_if([&](const Node& n) { return &n == &node; });
}

Container* ContainerStore::container_for(void* c, const char* operation) {
    for (Container& container : containers_) {
        if (&container == c) return &container;
    }
    for (Node& node : nodes_) {
        if (&node.container == c) return &node.container;
    }
    if (c == &stray_) return &stray_;
    misuses_.add(std::string(operation) +
                 (c == nullptr ? ": null container" : ": not a container of the host"));
    return nullptr;
}

Element* ContainerStore::element_for(void* element, const char* operation) {
    if (element == nullptr) return nullptr;
    for (Container& container : containers_) {
        if (container.holds(element)) return static_cast<Element*>(element);
    }
    for (Node& node : nodes_) {
        if (node.container.holds(element)) return static_cast<Element*>(element);
    }
    if (stray_.holds(element)) return static_cast<Element*>(element);
    misuses_.add(std::string(operation) + ": not an element of a host container");
    return nullptr;
}

Container& ContainerStore::node_container(void* node) {
    for (Node& n : nodes_) {
        if (&n == node) return n.container;
    }
    misuses_.add(node == nullptr ? "node_get_container: null node"
                                 : "node_get_container: not a node of the host");
    stray_.clear();
    return stray_;
}

bool ContainerStore::lends(const void* data, int32_t type_id) const {
    if (data == nullptr) return false;
    for (const Container& container : containers_) {
        if (container.lends(data, type_id)) return true;
    }
    for (const Node& node : nodes_) {
        if (node.container.lends(data, type_id)) return true;
    }
    return stray_.lends(data, type_id);
}

}  // namespace tmhost
