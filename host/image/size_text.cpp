#include "host/image/size_text.h"

namespace tmhost {

std::string size_text(std::size_t bytes) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    return bytes != 0 && bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                                           : std::to_string(bytes) + " bytes";
}

}  // namespace tmhost
