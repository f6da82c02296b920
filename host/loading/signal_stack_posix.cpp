#include "host/loading/signal_stack.h"

#include <csignal>
#include <cstdint>
#include <cstring>

#include <sys/mman.h>
#include <ucontext.h>

namespace tmhost {

namespace {

// Room for the handler, which formats nothing and writes one line, and for a sanitizer's.
constexpr std::size_t kStackBytes = 64 * 1024;
// How far beyond the stack pointer a fault still counts as the stack's end: a frame's first
// write lands within its size, and no frame of the module is larger than this.
constexpr std::uintptr_t kOverflowReach = 256 * 1024;

static_assert(sizeof(stack_t) <= 16, "the earlier signal stack is kept in 16 bytes");

}  // namespace

SignalStack::SignalStack() {
    void* memory =
        mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kStackBytes;
    stack_t earlier{};
    if (sigaltstack(&stack, &earlier) != 0) {
        munmap(memory, kStackBytes);
        return;
    }
    std::memcpy(earlier_, &earlier, sizeof earlier);
    memory_ = memory;
    replaced_ = true;
}

SignalStack::~SignalStack() {
    if (!replaced_) return;
    stack_t earlier{};
    std::memcpy(&earlier, earlier_, sizeof earlier);
    if ((earlier.ss_flags & SS_DISABLE) != 0) {
        earlier.ss_sp = nullptr;
        earlier.ss_size = 0;
        earlier.ss_flags = SS_DISABLE;
    }
    sigaltstack(&earlier, nullptr);
    munmap(memory_, kStackBytes);
}

bool is_stack_overflow(const void* fault_address, const void* context) {
    const auto* machine = &static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__i386__)
    const auto pointer = static_cast<std::uintptr_t>(machine->gregs[REG_ESP]);
#elif defined(__x86_64__)
    const auto pointer = static_cast<std::uintptr_t>(machine->gregs[REG_RSP]);
#else
    (void)machine;
    const std::uintptr_t pointer = 0;
#endif
    const auto fault = reinterpret_cast<std::uintptr_t>(fault_address);
    if (pointer == 0 || fault == 0) return false;
    // The stack grows down: the fault is at most a frame below the pointer, or a little above it
    // for a call's own push.
    return fault <= pointer + 4096 && (fault >= pointer || pointer - fault <= kOverflowReach);
}

}  // namespace tmhost
