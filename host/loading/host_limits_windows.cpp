#include "host/loading/host_limits.h"

namespace tmhost {

// A Windows thread's stack is set in the executable's header, and a process has no such limits.
std::optional<unsigned long> stack_limit_kib() { return std::nullopt; }
std::optional<unsigned long> thread_stack_kib() { return std::nullopt; }

std::vector<std::string> host_limit_problems(const HostNeeds&) { return {}; }

}  // namespace tmhost
