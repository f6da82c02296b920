// filename: host file names in module storage or in host-allocated blocks.
#include "host/core/entries.h"
#include "host/core/entry_call.h"

namespace tmhost {

namespace {

void note_name(EntryCall& call, Fn f) {
    if (const std::string* name = call.host().filenames().text(f)) call.note(*name);
}

Fn TM_CDECL filename_alloc() {
    EntryCall call(Operation::filename_alloc, {});
    if (!call) return nullptr;
    return call.host().filenames().alloc();
}

void TM_CDECL filename_free(Fn f) {
    EntryCall call(Operation::filename_free, {word(f)});
    if (!call) return;
    note_name(call, f);
    call.host().filenames().free(f);
}

void TM_CDECL filename_set_string(Fn f, Str s) {
    EntryCall call(Operation::filename_set_string, {word(f), word(s)});
    if (!call) return;
    call.host().filenames().set_string(f, s);
    note_name(call, f);
}

Fn TM_CDECL filename_derive(Fn f) {
    EntryCall call(Operation::filename_derive, {word(f)});
    if (!call) return nullptr;
    Fn derived = call.host().filenames().derive(f);
    if (derived != nullptr) note_name(call, derived);
    return derived;
}

void TM_CDECL filename_init(Fn f) {
    EntryCall call(Operation::filename_init, {word(f)});
    if (call) call.host().filenames().init(f);
}

void TM_CDECL filename_destroy(Fn f) {
    EntryCall call(Operation::filename_destroy, {word(f)});
    if (!call) return;
    note_name(call, f);
    call.host().filenames().destroy(f);
}

void TM_CDECL filename_copy(Fn source, Fn destination) {
    EntryCall call(Operation::filename_copy, {word(source), word(destination)});
    if (!call) return;
    call.host().filenames().copy(source, destination);
    note_name(call, destination);
}

}  // namespace

void install_filename_entries(HostFilenameTable& table) {
    table.alloc = filename_alloc;
    table.free = filename_free;
    table.set_string = filename_set_string;
    table.derive = filename_derive;
    table.init = filename_init;
    table.destroy = filename_destroy;
    table.copy = filename_copy;
}

}  // namespace tmhost
