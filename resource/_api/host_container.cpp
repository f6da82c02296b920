#include "host_container.h"

#include "host_binding.h"

namespace {
const int32_t kAbsent = -1;
}

HostContainer HostContainer::of_node(HostNodeHandle host_node) {
    return HostContainer(host().node->get_container(host_node));
}

int32_t HostContainer::find_index(int32_t id) const {
    return host().container->find_index(container_, id);
}

HostElementHandle HostContainer::get_data(int32_t id) const {
    return host().container->get_data(container_, id);
}

int32_t HostContainer::get_bool(int32_t id, int32_t default_value) const {
    if (find_index(id) == kAbsent) return default_value;
    return host().container->get_bool(container_, id);
}

int32_t HostContainer::get_long(int32_t id, int32_t default_value) const {
    if (find_index(id) == kAbsent) return default_value;
    return host().container->get_long(container_, id);
}

float HostContainer::get_real(int32_t id, float default_value) const {
    if (find_index(id) == kAbsent) return default_value;
    return host().container->get_real(container_, id);
}

ListDataHandle HostContainer::get_custom_data(int32_t id, int32_t type_id) const {
    return host().customdata->get(get_data(id), type_id);
}

int32_t HostContainer::set_bool(int32_t id, int32_t value) const {
    return host().container->set_bool(container_, id, value);
}

int32_t HostContainer::set_long(int32_t id, int32_t value) const {
    return host().container->set_long(container_, id, value);
}

int32_t HostContainer::set_real(int32_t id, float value) const {
    return host().container->set_real(container_, id, value);
}
