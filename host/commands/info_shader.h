// The shader part of tonemix-host info: the registration as the host keeps it, then one node
// driven through its whole life by the record alone.
#ifndef TMHOST_INFO_SHADER_H
#define TMHOST_INFO_SHADER_H

#include <string>
#include <vector>

#include "host/core/stand_in_host.h"

namespace tmhost {

// Runs between the module's start and its end, so the registration is live. Appends what it
// saw to lines; true when every step answered as a host expects.
bool run_info_shader(StandInHost& host, std::vector<std::string>& lines);

}  // namespace tmhost

#endif
