// Where tonemix-host finds things on disk.
#ifndef TMHOST_PROGRAM_PATHS_H
#define TMHOST_PROGRAM_PATHS_H

#include <string>

namespace tmhost {

// The running executable's file, and the folder holding it; empty when the system does not say.
std::string executable_file();
std::string executable_folder();
// Tonemix.cdl beside the executable, where the build puts the two; where there is none, and
// Tonemix/Tonemix.cdl is (a release archive's folder for the host's plug-ins), that one.
std::string default_module_path();
// The example scenes: the folder scenes beside the executable (a release archive's), else the
// source tree's, found from the executable's folder as the build tree lies in the source tree.
std::string example_scenes_folder();
// The path made absolute against the current folder, with the platform's separators. The module
// derives its resource folder from this path, so it must not depend on where the host runs.
std::string absolute_path(const std::string& path);

}  // namespace tmhost

#endif
