// string: host strings in the module's 16-byte storage.
#include "host/core/entries.h"
#include "host/core/entry_call.h"

namespace tmhost {

namespace {

void note_text(EntryCall& call, HostStringHandle s) {
    if (const std::string* text = call.host().strings().text(s)) call.note(*text);
}

int32_t TM_CDECL string_length(HostStringHandle s) {
    EntryCall call(Operation::string_length, {word(s)});
    if (!call) return 0;
    return call.host().strings().length(s);
}

int32_t TM_CDECL string_insert(HostStringHandle s, int32_t position, HostStringHandle other) {
    EntryCall call(Operation::string_insert, {word(s), word(position), word(other)});
    if (!call) return 0;
    const int32_t result = call.host().strings().insert(s, position, other);
    note_text(call, s);
    return result;
}

void TM_CDECL string_init(HostStringHandle s) {
    EntryCall call(Operation::string_init, {word(s)});
    if (call) call.host().strings().init(s);
}

void TM_CDECL string_set_cstr(HostStringHandle s, const char* text, int32_t length, int32_t zero) {
    EntryCall call(Operation::string_set_cstr, {word(s), word(text), word(length), word(zero)});
    if (!call) return;
    call.host().strings().set_cstr(s, text, length, zero);
    note_text(call, s);
}

void TM_CDECL string_free(HostStringHandle s) {
    EntryCall call(Operation::string_free, {word(s)});
    if (!call) return;
    note_text(call, s);
    call.host().strings().free(s);
}

void TM_CDECL string_copy(HostStringHandle source, HostStringHandle destination) {
    EntryCall call(Operation::string_copy, {word(source), word(destination)});
    if (!call) return;
    call.host().strings().copy(source, destination);
    note_text(call, destination);
}

}  // namespace

void install_string_entries(HostStringTable& table) {
    table.length = string_length;
    table.insert = string_insert;
    table.init = string_init;
    table.set_cstr = string_set_cstr;
    table.free = string_free;
    table.copy = string_copy;
}

}  // namespace tmhost
