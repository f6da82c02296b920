// tonemix_loading_checks.exe: the Windows build has no GoogleTest, and the guarded pages and the
// checked thiscall call are written for each system apart, so this program checks them on the
// Windows side (under wine): one line per check that fails, exit code 0 when all hold.
//   wine build/windows-i686/tonemix_loading_checks.exe
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "host/loading/checked_call.h"
#include "host/loading/guarded_block.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
    if (holds) return;
    std::printf("FAILED: %s\n", what);
    ++failures;
}

DWORD protection_at(const void* p) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(p, &info, sizeof info) == 0) return 0;
    return info.Protect;
}

#define ENTRY __attribute__((thiscall, noinline))
uint32_t ENTRY take0(void* self) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(self));
}
uint32_t ENTRY take2(void* self, uint32_t a, uint32_t b) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(self)) + a * 3 + b * 5;
}
uint32_t ENTRY take3(void* self, uint32_t a, uint32_t b, uint32_t c) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(self)) + a * 3 + b * 5 + c * 7;
}

void check_guarded_blocks() {
    for (std::size_t size :
         {std::size_t{0}, std::size_t{28}, std::size_t{4096}, std::size_t{5000}}) {
        tmhost::GuardedBlock block(size);
        unsigned char* bytes = block.as<unsigned char>();
        bool zero = true;
        for (std::size_t i = 0; i < size; ++i) zero = zero && bytes[i] == 0;
        check(zero, "a guarded block is zero-filled");
        for (std::size_t i = 0; i < size; ++i) bytes[i] = 0xa5;
        check(size == 0 || protection_at(bytes + size - 1) == PAGE_READWRITE,
              "a guarded block's last byte is writable");
        check(protection_at(bytes + size) == PAGE_NOACCESS,
              "the page after a guarded block is inaccessible");
        const uintptr_t first_page = reinterpret_cast<uintptr_t>(bytes) & ~uintptr_t{4095};
        check(protection_at(reinterpret_cast<const void*>(first_page - 1)) == PAGE_NOACCESS,
              "the page before a guarded block is inaccessible");
    }
    // Far more than a 32-bit process can hold at once: only blocks given back let it finish.
    bool all_made = true;
    for (int i = 0; i < 6 * 1024 && all_made; ++i) {
        try {
            tmhost::GuardedBlock block(std::size_t{1} << 20);
            block.as<unsigned char>()[0] = 1;
        } catch (...) {
            all_made = false;
        }
    }
    check(all_made, "guarded blocks give their pages back");
}

void check_thiscall_calls() {
    int anchor = 0;
    void* self = &anchor;
    const uint32_t base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(self));
    const uint32_t words[3] = {1, 2, 3};
    tmhost::CheckedCall call =
        tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take2), self, words, 2);
    check(call.result == base + 3 + 10 && call.popped_bytes == 8, "two words taken and popped");
    call = tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take0), self, words, 0);
    check(call.result == base && call.popped_bytes == 0, "no word taken");
    call = tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take2), self, words, 3);
    check(call.popped_bytes == 8, "an entry that pops too little is measured");
    call = tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take3), self, words, 1);
    check(call.popped_bytes == 12, "an entry that pops too much is measured");
    call = tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take3), self, words, 3);
    check(call.result == base + 3 + 10 + 21 && call.popped_bytes == 12,
          "the caller is whole after wrong entries");
}

}  // namespace

int main() {
    check_guarded_blocks();
    check_thiscall_calls();
    std::printf("%s\n", failures == 0 ? "core checks hold" : "core checks failed");
    return failures == 0 ? 0 : 1;
}
