// The structural cases of inputs that once waited or worked without a bound, or were named for
// something else: FIFOs and devices as scenes, meshes and resource folders, scenes of a million
// lights or many planes, and descriptions with each fault the description format can hold. Each
// must end in one line that names what it is, with exit 2.
#ifndef TONEMIX_FUZZ_STRUCTURAL_INPUTS_H
#define TONEMIX_FUZZ_STRUCTURAL_INPUTS_H

#include <string>
#include <vector>

#include "host/commands/command.h"
#include "temporary_folder.h"

namespace tonemix_fuzz {

struct InputCase {
    std::string name;
    tmhost::CommandOutput (*run)(const tmhost::CommandArguments&, const tmhost::CommandSettings&);
    std::vector<std::string> arguments;
    int status = 2;
    std::string said;  // a part of the first line
};

// The cases, with the files they read made under `folder`; `module` is the built module, whose
// res/ folder the description cases copy.
std::vector<InputCase> bounded_input_cases(const tmhost::TemporaryFolder& folder,
                                           const std::string& module);

}  // namespace tonemix_fuzz

#endif
