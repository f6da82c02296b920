// general: memory, the console, plug-in registration and host libraries.
#include <cstring>

#include "host/core/entries.h"
#include "host/core/entry_call.h"
#include "host/core/handles.h"
#include "host/core/text_format.h"

namespace tmhost {

namespace {

void TM_CDECL general_free(void* p) {
    EntryCall call(Operation::general_free, {word(p)});
    if (call) call.host().memory().free(p);
}

int32_t TM_CDECL general_print(HostStringHandle s) {
    EntryCall call(Operation::general_print, {word(s)});
    if (!call) return 0;
    const std::string* text = call.host().strings().text_for(s, call.name());
    if (text == nullptr) return 0;
    call.note(*text);
    call.host().console().print(*text);
    return 1;
}

int32_t TM_CDECL general_register_plugin(int32_t api, int32_t type, int32_t id,
                                         HostStringHandle name, void* record, int32_t size) {
    EntryCall call(Operation::general_register_plugin,
                   {word(api), word(type), word(id), word(name), word(record), word(size)});
    if (!call) return 0;
    StandInHost& host = call.host();
    const std::string* text = host.strings().text_for(name, call.name());
    if (text == nullptr) return 0;
    call.note(*text);
    if (size < 0 || size > MAX_REGISTRATION_RECORD || (record == nullptr && size != 0)) {
        host.misuses().add("general_register_plugin: record of " + std::to_string(size) +
                           (record == nullptr ? " bytes at null" : " bytes"));
        return 0;
    }
    // Kept all the same, the latest counting, as before: the module's start goes on.
    if (host.registrations().registered_in_this_start(id)) {
        host.misuses().add("general_register_plugin: plug-in id " + std::to_string(id) +
                           " registered twice in one start (" + quoted(*text) + ")");
    }
    PluginRegistration registration;
    registration.api = api;
    registration.type = type;
    registration.id = id;
    registration.name = *text;
    registration.record.resize(static_cast<std::size_t>(size));
    if (size != 0) std::memcpy(registration.record.data(), record, registration.record.size());
    host.registrations().add(std::move(registration));
    return 1;
}

LibraryHandle TM_CDECL general_find_library(int32_t library_id, int32_t size) {
    EntryCall call(Operation::general_find_library, {word(library_id), word(size)});
    if (!call) return nullptr;
    return handle_of<LibraryHandle>(call.host().libraries().find(library_id));
}

int32_t TM_CDECL general_library_table(LibraryHandle library, void** out1, void** out2,
                                       void** out3) {
    EntryCall call(Operation::general_library_table,
                   {word(library), word(out1), word(out2), word(out3)});
    if (!call) return 0;
    LibraryTable* table = call.host().libraries().table_of(library);
    if (table == nullptr) {
        call.host().misuses().add(library == nullptr
                                      ? "general_library_table: null library handle"
                                      : "general_library_table: not a library handle of this host");
        return 0;
    }
    if (out3 == nullptr) {
        call.host().misuses().add("general_library_table: null third out-word");
        return 0;
    }
    if (out1 != nullptr) *out1 = nullptr;
    if (out2 != nullptr) *out2 = nullptr;
    *out3 = table;
    return 1;
}

void* TM_CDECL general_alloc(int32_t size, int32_t source_line, const char* source_file) {
    EntryCall call(Operation::general_alloc, {word(size), word(source_line), word(source_file)});
    if (source_file != nullptr) call.note(source_file);
    if (!call) return nullptr;
    return call.host().memory().alloc(size, source_line, source_file);
}

}  // namespace

void install_general_entries(HostGeneral& table) {
    table.free = general_free;
    table.print = general_print;
    table.register_plugin = general_register_plugin;
    table.find_library = general_find_library;
    table.library_table = general_library_table;
    table.alloc = general_alloc;
}

}  // namespace tmhost
