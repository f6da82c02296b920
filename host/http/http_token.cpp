#include "host/http/http_token.h"

#include <array>
#include <cstdint>
#include <exception>

#include "host/http/http_error.h"

#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>
#else
#include <random>
#endif

namespace tmhost {

namespace {

constexpr std::size_t kTokenBytes = 16;

std::array<unsigned char, kTokenBytes> random_bytes() {
    std::array<unsigned char, kTokenBytes> bytes{};
#if defined(_WIN32)
    const NTSTATUS status = BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) throw HttpError("no random numbers for a token (BCryptGenRandom failed)");
#else
    try {
        std::random_device source;
        for (std::size_t i = 0; i < bytes.size(); i += 4) {
            const std::uint32_t word = source();
            for (std::size_t k = 0; k < 4; ++k) {
                bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
            }
        }
    } catch (const std::exception& failure) {
        throw HttpError(std::string("no random numbers for a token: ") + failure.what());
    }
#endif
    return bytes;
}

}  // namespace

std::string random_token() {
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char byte : random_bytes()) {
        token += kHex[byte >> 4];
        token += kHex[byte & 0xf];
    }
    return token;
}

bool same_token(std::string_view given, std::string_view expected) {
    if (given.size() != expected.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < given.size(); ++i) {
        difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
    }
    return difference == 0;
}

}  // namespace tmhost
