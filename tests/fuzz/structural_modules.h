// Module files damaged a few bytes at a time in each section, run by the program itself in a
// child process (a damaged module may end the process that loads it): each must end in exit 0, 1
// or 2 with one line, or hang, which the host may (it waits, as a real one does).
#ifndef TONEMIX_FUZZ_STRUCTURAL_MODULES_H
#define TONEMIX_FUZZ_STRUCTURAL_MODULES_H

#include <cstdint>
#include <filesystem>

#include "fuzz/structural_cases.h"
#include "fuzz/structural_outputs.h"

namespace tonemix_fuzz {

// The damaged copies are made under `folder`; a hung one counts in `run.hung`.
void damaged_module_cases(const CaseCheck& check, StructuralRun& run,
                          const std::filesystem::path& folder, uint32_t seed,
                          const DamagedModules& damaged, bool verbose);

}  // namespace tonemix_fuzz

#endif
