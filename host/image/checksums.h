// The two checksums a PNG file needs: CRC-32 over each chunk, Adler-32 over the zlib stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tmhost {

// CRC-32 as in PNG and zlib (reflected polynomial 0xEDB88320). Pass the previous result as
// `crc` to continue over more bytes; start from 0.
std::uint32_t crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

// Adler-32 as in zlib; continue like crc32, starting from 1.
std::uint32_t adler32(const void* data, std::size_t size, std::uint32_t adler = 1);

}  // namespace tmhost
