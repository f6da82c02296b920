#include "host/image/checksums.h"

#include <array>

namespace tmhost {

namespace {

constexpr std::array<std::uint32_t, 256> make_crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = make_crc_table();

// The largest prime below 2^16, the modulus of both Adler sums.
constexpr std::uint32_t kAdlerModulus = 65521;

}  // namespace

std::uint32_t crc32(const void* data, std::size_t size, std::uint32_t crc) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t adler32(const void* data, std::size_t size, std::uint32_t adler) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint32_t low = adler & 0xFFFFu;
    std::uint32_t high = adler >> 16;
    for (std::size_t i = 0; i < size; ++i) {
        low = (low + bytes[i]) % kAdlerModulus;
        high = (high + low) % kAdlerModulus;
    }
    return (high << 16) | low;
}

}  // namespace tmhost
