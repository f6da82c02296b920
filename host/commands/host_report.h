// What tonemix-host prints about the host after a module has run: resources loaded, the console,
// the registrations and what the module left behind.
#ifndef TMHOST_HOST_REPORT_H
#define TMHOST_HOST_REPORT_H

#include <string>
#include <vector>

#include "host/core/stand_in_host.h"

namespace tmhost {

std::vector<std::string> resource_report(const StandInHost& host);
std::vector<std::string> console_report(const StandInHost& host);
std::vector<std::string> registration_report(const StandInHost& host);
// The registrations in one line: "registration: plug-in 1007539 "Tonemix", type 1, ...".
std::string registration_summary(const StandInHost& host);
// A shader's registration record field by field: values as numbers, entries as "set" or "null",
// the runs the host expects zero as "zero" or "not zero". No pointer values: the Linux and the
// Windows build print the same lines.
std::vector<std::string> shader_record_report(const ShaderRegistration& record);
// "nothing left behind", or "left behind:" and one indented line per item.
std::vector<std::string> left_behind_report(const StandInHost& host);

}  // namespace tmhost

#endif
