#include "host/loading/host_limits.h"

namespace tmhost {

namespace {

// The threads group's most render threads at once, and what the process needs besides their
// stacks (the module, the host, the images and the sanitizer's books in its build).
constexpr unsigned long kMostThreads = 64;
constexpr unsigned long kBesideStacksKib = 256 * 1024;
// A thread's stack when the stack limit gives none (and on Windows): glibc's default for
// 32-bit x86.
constexpr unsigned long kUnlimitedThreadStackKib = 2 * 1024;

}  // namespace

HostNeeds validation_needs() {
    HostNeeds needs;
    // A new thread's stack is as large as the stack limit, so the address space needed grows
    // with it.
    const unsigned long thread_stack_kib = stack_limit_kib().value_or(kUnlimitedThreadStackKib);
    needs.address_space_kib = kMostThreads * thread_stack_kib + kBesideStacksKib;
    needs.stack_kib = 1024;
    needs.cpu_seconds = 60;
    needs.open_files = 64;
    return needs;
}

}  // namespace tmhost
