#include "host/http/http_token.h"

#include <array>

#include "host/http/random_bytes.h"

namespace tmhost {

namespace {

constexpr std::size_t kTokenBytes = 16;

std::array<unsigned char, kTokenBytes> random_bytes() {
    std::array<unsigned char, kTokenBytes> bytes{};
    fill_random(bytes.data(), bytes.size());
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
