#include "host/loading/host_limits.h"

namespace tmhost {

namespace {

// The threads group's most render threads at once, and what the process needs besides their
// stacks (the module, the host, the images and the sanitizer's books in its build).
constexpr unsigned long kMostThreads = 64;
constexpr unsigned long kBesideStacksKib = 256 * 1024;
// A thread's stack where it cannot be read: what tonemix-host gives its threads.
constexpr unsigned long kUnknownThreadStackKib = 8 * 1024;

}  // namespace

HostNeeds validation_needs() {
    HostNeeds needs;
    // The stacks are reserved address space whether used or not, so the need grows with them.
    const unsigned long stack_kib = thread_stack_kib().value_or(kUnknownThreadStackKib);
    needs.address_space_kib = kMostThreads * stack_kib + kBesideStacksKib;
    needs.stack_kib = 1024;
    needs.cpu_seconds = 60;
    needs.open_files = 64;
    return needs;
}

}  // namespace tmhost
