#include "host/core/description_library.h"

#include <cstring>
#include <string>

#include "host/core/entry_call.h"
#include "host/core/handles.h"

namespace tmhost {

namespace {

int32_t TM_CDECL desclib_register(int32_t plugin_id, HostStringHandle description_name,
                                  int32_t resource_handle) {
    // The name is journaled as text when it is a started string; a bad one is reported below.
    EntryCall call(Operation::desclib_register,
                   {word(plugin_id), word(description_name), word(resource_handle)});
    if (call.has_host()) {
        if (const std::string* name = call.host().strings().text(description_name)) {
            call.note(*name);
        }
    }
    if (!call) return 0;
    return call.host().description_library().register_description(plugin_id, description_name,
                                                                  resource_handle);
}

const int32_t* TM_CDECL desclib_get_id(DescriptionIdHandle description_id, int32_t level) {
    EntryCall call(Operation::desclib_get_id, {word(description_id), word(level)});
    // A module reads three words of the answer: with no host there is no library to own them,
    // so a record of zeros stands in. Failed on request, the call answers null.
    static const int32_t no_host_record[3] = {0, 0, 0};
    if (!call) return call.has_host() ? nullptr : no_host_record;
    return call.host().description_library().get_id(description_id, level);
}

}  // namespace

DescriptionLibrary::DescriptionLibrary(const ResourceStore& resources, StringStore& strings,
                                       MisuseLog& misuses)
    : resources_(resources), strings_(strings), misuses_(misuses) {
    restore_table();
}

DescriptionLibraryTable DescriptionLibrary::own_table() {
    DescriptionLibraryTable table;
    std::memset(&table, 0, sizeof table);
    table.header.bound = TM_DESCLIB_GET_ID_OFFSET;
    table.desclib_register = desclib_register;
    table.desclib_get_id = desclib_get_id;
    return table;
}

int32_t DescriptionLibrary::register_description(int32_t plugin_id, HostStringHandle name,
                                                 int32_t resource_handle) {
    const std::string* text = strings_.text_for(name, "desclib_register");
    if (text == nullptr) return 0;
    if (resource_handle == 0) return 0;  // the module had no resource to give: not a misuse
    if (resources_.find(resource_handle) == nullptr) {
        misuses_.add("desclib_register: resource handle " + std::to_string(resource_handle) +
                     " is not loaded");
        return 0;
    }
    const Description* description = resources_.description(resource_handle, *text);
    if (description == nullptr) {
        missing_ = MissingDescription{*text, resources_.find(resource_handle)->folder};
        return 0;
    }
    registered_[plugin_id] = *description;
    return 1;
}

const int32_t* DescriptionLibrary::get_id(const void* description_id, int32_t level) {
    std::lock_guard<std::mutex> lock(ids_mutex_);
    for (const auto& entry : ids_) {
        if (entry.second.get() != description_id) continue;
        if (level == 0) return entry.second->level0;
        misuses_.add("desclib_get_id: level " + std::to_string(level) + " of a one-level id");
        return zero_record_;
    }
    misuses_.add(description_id == nullptr ? "desclib_get_id: null description id"
                                           : "desclib_get_id: not a description id of the host");
    return zero_record_;
}

const Description* DescriptionLibrary::registered(int32_t plugin_id) const {
    auto found = registered_.find(plugin_id);
    return found != registered_.end() ? &found->second : nullptr;
}

DescriptionIdHandle DescriptionLibrary::description_id(int32_t parameter_id) {
    std::lock_guard<std::mutex> lock(ids_mutex_);
    std::unique_ptr<DescriptionId>& id = ids_[parameter_id];
    if (!id) {
        id = std::make_unique<DescriptionId>();
        id->level0[0] = parameter_id;
    }
    return handle_of<DescriptionIdHandle>(id.get());
}

}  // namespace tmhost
