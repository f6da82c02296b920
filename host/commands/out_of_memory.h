// The line of a command that ran out of memory: the host's own shortage, said as such, with the
// limit the process was started under when there is one (ulimit -v), which is what a user mends.
#ifndef TMHOST_OUT_OF_MEMORY_H
#define TMHOST_OUT_OF_MEMORY_H

#include <string>

namespace tmhost {

// "render: out of memory (the address space is limited to 146 MiB: ulimit -v)", or without the
// part in brackets when no such limit is set.
std::string out_of_memory_line(const char* command);

}  // namespace tmhost

#endif
