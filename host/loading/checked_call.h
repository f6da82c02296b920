// Calling the module's member-function entries (thiscall: the node in ECX, the other words on
// the stack, popped by the callee) so that an entry compiled for the wrong number of words is
// seen instead of silently corrupting the caller's stack.
#ifndef TMHOST_CHECKED_CALL_H
#define TMHOST_CHECKED_CALL_H

#include <cstdint>
#include <cstring>

namespace tmhost {

struct CheckedCall {
    uint32_t result;       // EAX after the call
    int32_t popped_bytes;  // how many bytes of arguments the entry took off the stack
};

// Extra room above the pushed words: an entry that pops, or reads and writes, up to this many
// bytes more than it was given stays within the call's own frame, and ESP after its return stays
// below the frame's saved values, so neither the entry nor a signal delivered then reaches them
// and the host survives to report the popped count.
constexpr int kCheckedCallSlack = 256;

// Calls the thiscall entry with `self` in ECX and words[0..count-1] pushed so that words[0] is
// the first argument (a count of 0 or less pushes nothing), the stack 16-byte aligned at the
// call. The stack and the caller's EBX, ESI and EDI are restored whatever the entry popped or
// left in them; only EBP must come back as the convention says.
CheckedCall call_thiscall_checked(const void* entry, void* self, const uint32_t* words, int count);

// The address of an entry of the registration record, as call_thiscall_checked takes it.
template <typename Entry>
const void* entry_address(Entry entry) {
    const void* address;
    static_assert(sizeof address == sizeof entry, "an entry is one word");
    std::memcpy(&address, &entry, sizeof address);
    return address;
}

}  // namespace tmhost

#endif
