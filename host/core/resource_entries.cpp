// resource: description folders loaded by name, released by handle.
#include "host/core/entries.h"
#include "host/core/entry_call.h"

namespace tmhost {

namespace {

int32_t TM_CDECL resource_load(HostFilenameHandle f) {
    EntryCall call(Operation::resource_load, {word(f)});
    if (!call) return 0;
    const std::string* folder = call.host().filenames().text_for(f, call.name());
    if (folder == nullptr) return 0;
    call.note(*folder);
    return call.host().resources().load(*folder);
}

void TM_CDECL resource_free(int32_t handle) {
    EntryCall call(Operation::resource_free, {word(handle)});
    if (call) call.host().resources().free(handle);
}

}  // namespace

void install_resource_entries(HostResourceTable& table) {
    table.load = resource_load;
    table.free = resource_free;
}

}  // namespace tmhost
