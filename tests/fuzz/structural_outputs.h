// The structural cases of outputs that name a file the command reads: the module, a file of its
// res folder, the scene, a mesh; and --junit - and a private file replaced.
#ifndef TONEMIX_FUZZ_STRUCTURAL_OUTPUTS_H
#define TONEMIX_FUZZ_STRUCTURAL_OUTPUTS_H

#include <filesystem>
#include <functional>
#include <string>

namespace tonemix_fuzz {

// One case: its name, and what answers what was wrong ("" when it ended as it must).
using CaseCheck =
    std::function<void(const std::string& name, const std::function<std::string()>& problem)>;

// The cases, with copies of the module and a scene made in `folder`.
void outputs_of_files_read(const CaseCheck& check, const std::filesystem::path& folder);

}  // namespace tonemix_fuzz

#endif
