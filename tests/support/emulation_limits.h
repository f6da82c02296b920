// What a test cannot check where 32-bit programs run under qemu-user: each function gives the
// reason a test is skipped there, or an empty text where the test runs. Used as
//
//     if (const std::string why = tonemix_test::no_address_space_limit(); !why.empty())
//         GTEST_SKIP() << why;
#ifndef TONEMIX_TEST_EMULATION_LIMITS_H
#define TONEMIX_TEST_EMULATION_LIMITS_H

#include <string>

#include "host/core/emulation.h"

namespace tonemix_test {

// `ulimit -v` in a shell limits the emulator that would run the program, and qemu-user does not
// start under a limit small enough to test the program's own message.
inline std::string no_address_space_limit() {
    if (!tmhost::running_under_emulation()) return {};
    return "under qemu-user the shell's address-space limit holds the emulator itself, which "
           "cannot start under it";
}

// Under qemu-user the sanitizer's allocator comes to map memory it cannot shadow when a test asks
// for much memory at once (`what` says for what), and the program dies before it is tested.
inline std::string no_large_sanitized_allocation([[maybe_unused]] const char* what) {
#if defined(__SANITIZE_ADDRESS__)
    if (tmhost::running_under_emulation()) {
        return std::string(
                   "under qemu-user the sanitizer's allocator comes to map memory it "
                   "cannot shadow ") +
               what;
    }
#endif
    return {};
}

}  // namespace tonemix_test

#endif
