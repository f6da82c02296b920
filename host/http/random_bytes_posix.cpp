#include "host/http/random_bytes.h"

#include <cstdint>
#include <exception>
#include <random>
#include <string>

#include "host/http/http_error.h"

namespace tmhost {

void fill_random(unsigned char* bytes, std::size_t count) {
    try {
        std::random_device source;
        for (std::size_t i = 0; i < count; i += 4) {
            const std::uint32_t word = source();
            for (std::size_t k = 0; k < 4 && i + k < count; ++k) {
                bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
            }
        }
    } catch (const std::exception& failure) {
        throw HttpError(std::string("no random numbers for a token: ") + failure.what());
    }
}

}  // namespace tmhost
