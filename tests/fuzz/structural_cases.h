// The fixed hostile cases of tonemix_fuzz --structural: outputs that are not regular files or
// that name a file being read (structural_outputs.h), descriptions far past any real one's size,
// the command-line conflicts and input files that once misled, and module files damaged a few
// bytes at a time in each section, run by the program itself in a child process (a damaged
// module may end the process that loads it).
#ifndef TONEMIX_FUZZ_STRUCTURAL_CASES_H
#define TONEMIX_FUZZ_STRUCTURAL_CASES_H

#include <cstdint>
#include <string>

namespace tonemix_fuzz {

struct StructuralRun {
    long cases = 0;
    long failures = 0;
    long hung = 0;  // damaged modules that never returned: the host waits, as a real one does
};

// Damaged copies of `module` (with its res/ folder) are run by `program`: a build without the
// sanitizers, as a user runs it, since a sanitized module reports its own damage through the
// sanitizer's runtime. Both empty: no damaged modules.
struct DamagedModules {
    std::string program;
    std::string module;
    int count = 4;  // copies a section
};

// Prints each failing case; with `verbose`, every case and how it ended.
StructuralRun run_structural_cases(uint32_t seed, const DamagedModules& damaged, bool verbose);

}  // namespace tonemix_fuzz

#endif
