// The host's own functions for each sub-table (internal to the stand-in host).
#ifndef TMHOST_ENTRIES_H
#define TMHOST_ENTRIES_H

#include "host_api.h"

namespace tmhost {

void install_general_entries(HostGeneral& table);
void install_render_entries(HostRender& table);
void install_container_entries(HostContainerTable& table);
void install_string_entries(HostStringTable& table);
void install_filename_entries(HostFilenameTable& table);
void install_resource_entries(HostResourceTable& table);
void install_node_entries(HostNodeTable& table);
void install_customdata_entries(HostCustomDataTable& table);

// Sits in every slot the host does not serve. cdecl: the caller clears its own arguments, so one
// function fits every slot.
int32_t TM_CDECL unserved_slot();

}  // namespace tmhost

#endif
