// filename: host file names in module storage or in host-allocated blocks.
#include "host/core/entries.h"
#include "host/core/entry_call.h"

namespace tmhost {

namespace {

void note_name(EntryCall& call, HostFilenameHandle f) {
    if (const std::string* name = call.host().filenames().text(f)) call.note(*name);
}

HostFilenameHandle TM_CDECL filename_alloc() {
    EntryCall call(Operation::filename_alloc, {});
    if (!call) return nullptr;
    return call.host().filenames().alloc();
}

void TM_CDECL filename_free(HostFilenameHandle f) {
    EntryCall call(Operation::filename_free, {word(f)});
    if (!call) return;
    note_name(call, f);
    call.host().filenames().free(f);
}

void TM_CDECL filename_set_string(HostFilenameHandle f, HostStringHandle s) {
    EntryCall call(Operation::filename_set_string, {word(f), word(s)});
    if (!call) return;
    call.host().filenames().set_string(f, s);
    note_name(call, f);
}

HostFilenameHandle TM_CDECL filename_derive(HostFilenameHandle f) {
    EntryCall call(Operation::filename_derive, {word(f)});
    if (!call) return nullptr;
    HostFilenameHandle derived = call.host().filenames().derive(f);
    if (derived != nullptr) note_name(call, derived);
    return derived;
}

void TM_CDECL filename_init(HostFilenameHandle f) {
    EntryCall call(Operation::filename_init, {word(f)});
    if (call) call.host().filenames().init(f);
}

void TM_CDECL filename_destroy(HostFilenameHandle f) {
    EntryCall call(Operation::filename_destroy, {word(f)});
    if (!call) return;
    note_name(call, f);
    call.host().filenames().destroy(f);
}

void TM_CDECL filename_copy(HostFilenameHandle source, HostFilenameHandle destination) {
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
