// What the shared half of program_output (program_output.cpp) asks of each system's half
// (program_output_posix.cpp, program_output_windows.cpp).
#ifndef TMHOST_PROGRAM_OUTPUT_SHARED_H
#define TMHOST_PROGRAM_OUTPUT_SHARED_H

#include <cstdio>

namespace tmhost::output {

// A stream on a descriptor of the program's own that goes where stdout goes now, with
// descriptor 1 sent to stderr from then on; null, and nothing changed, when none can be made.
std::FILE* take_standard_output();

}  // namespace tmhost::output

#endif
