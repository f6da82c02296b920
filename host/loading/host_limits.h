// Limits the host process runs under that would make a sound module fail: an address space or a
// stack too small, too little processor time, too few descriptors. Found before any module is
// loaded and said as the host's own, so that they are never blamed on the module.
#ifndef TMHOST_HOST_LIMITS_H
#define TMHOST_HOST_LIMITS_H

#include <optional>
#include <string>
#include <vector>

namespace tmhost {

// What a piece of work needs; 0 means it does not care.
struct HostNeeds {
    unsigned long address_space_kib = 0;  // ulimit -v, and the data limit (ulimit -d)
    unsigned long stack_kib = 0;          // ulimit -s
    unsigned long cpu_seconds = 0;        // ulimit -t
    unsigned long open_files = 0;         // ulimit -n
};

// The soft stack limit (ulimit -s), or nothing when it is unlimited (and on Windows).
std::optional<unsigned long> stack_limit_kib();

// The stack a new thread gets: the C library's default, which it chose from the stack limit as
// the process started and which tonemix-host raises before it starts any. Nothing where it cannot
// be read (and on Windows, where the executable's header sets it).
std::optional<unsigned long> thread_stack_kib();

// validate's groups: the threads group starts up to 64 render threads, each with a stack of
// thread_stack_kib, beside the module and the host's own.
HostNeeds validation_needs();

// One line for each limit below its need: "the address-space limit (ulimit -v) is 150000 KiB,
// below the 524288 KiB needed". Nothing on Windows, where a process has no such limits.
std::vector<std::string> host_limit_problems(const HostNeeds& needs);

}  // namespace tmhost

#endif
