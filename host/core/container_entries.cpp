// container, node and customdata: parameter containers, the nodes holding them, custom data.
#include "host/core/entries.h"
#include "host/core/entry_call.h"
#include "host/core/handles.h"
#include "host/core/text_format.h"

namespace tmhost {

namespace {

Container* container_of(EntryCall& call, HostContainerHandle c) {
    return call.host().containers().container_for(c, call.name());
}

int32_t TM_CDECL container_set_real(HostContainerHandle c, int32_t id, float value) {
    EntryCall call(Operation::container_set_real, {word(c), word(id), word(value)});
    call.note(real_text(value));
    if (!call) return 0;
    Container* container = container_of(call, c);
    if (container == nullptr) return 0;
    container->set_real(id, value);
    return 1;
}

int32_t TM_CDECL container_set_bool(HostContainerHandle c, int32_t id, int32_t value) {
    EntryCall call(Operation::container_set_bool, {word(c), word(id), word(value)});
    if (!call) return 0;
    Container* container = container_of(call, c);
    if (container == nullptr) return 0;
    container->set_bool(id, value);
    return 1;
}

int32_t TM_CDECL container_set_long(HostContainerHandle c, int32_t id, int32_t value) {
    EntryCall call(Operation::container_set_long, {word(c), word(id), word(value)});
    if (!call) return 0;
    Container* container = container_of(call, c);
    if (container == nullptr) return 0;
    container->set_long(id, value);
    return 1;
}

float TM_CDECL container_get_real(HostContainerHandle c, int32_t id) {
    EntryCall call(Operation::container_get_real, {word(c), word(id)});
    if (!call) return 0.0f;
    Container* container = container_of(call, c);
    return container != nullptr ? container->get_real(id) : 0.0f;
}

int32_t TM_CDECL container_get_bool(HostContainerHandle c, int32_t id) {
    EntryCall call(Operation::container_get_bool, {word(c), word(id)});
    if (!call) return 0;
    Container* container = container_of(call, c);
    return container != nullptr ? container->get_bool(id) : 0;
}

int32_t TM_CDECL container_get_long(HostContainerHandle c, int32_t id) {
    EntryCall call(Operation::container_get_long, {word(c), word(id)});
    if (!call) return 0;
    Container* container = container_of(call, c);
    return container != nullptr ? container->get_long(id) : 0;
}

int32_t TM_CDECL container_find_index(HostContainerHandle c, int32_t id) {
    EntryCall call(Operation::container_find_index, {word(c), word(id)});
    if (!call) return -1;
    Container* container = container_of(call, c);
    return container != nullptr ? container->find_index(id) : -1;
}

HostElementHandle TM_CDECL container_get_data(HostContainerHandle c, int32_t id) {
    EntryCall call(Operation::container_get_data, {word(c), word(id)});
    if (!call) return nullptr;
    Container* container = container_of(call, c);
    return container != nullptr ? handle_of<HostElementHandle>(container->get_data(id)) : nullptr;
}

HostContainerHandle TM_CDECL node_get_container(HostNodeHandle host_node) {
    EntryCall call(Operation::node_get_container, {word(host_node)});
    if (!call) return nullptr;
    return handle_of<HostContainerHandle>(&call.host().containers().node_container(host_node));
}

ListDataHandle TM_CDECL customdata_get(HostElementHandle element, int32_t type_id) {
    EntryCall call(Operation::customdata_get, {word(element), word(type_id)});
    if (!call) return nullptr;
    Element* e = call.host().containers().element_for(element, call.name());
    if (e == nullptr || e->type != ValueType::custom || e->custom_type != type_id) return nullptr;
    return handle_of<ListDataHandle>(e->data);
}

}  // namespace

void install_container_entries(HostContainerTable& table) {
    table.set_real = container_set_real;
    table.set_bool = container_set_bool;
    table.set_long = container_set_long;
    table.get_real = container_get_real;
    table.get_bool = container_get_bool;
    table.get_long = container_get_long;
    table.find_index = container_find_index;
    table.get_data = container_get_data;
}

void install_node_entries(HostNodeTable& table) { table.get_container = node_get_container; }

void install_customdata_entries(HostCustomDataTable& table) { table.get = customdata_get; }

}  // namespace tmhost
