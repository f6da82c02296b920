#include "host/program/process_setup.h"

namespace tmhost {

// A Windows thread's stack is set in the executable's header, and there are no signal masks.
std::string prepare_process() { return std::string(); }

}  // namespace tmhost
