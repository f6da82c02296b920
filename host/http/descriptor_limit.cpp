#include "host/http/descriptor_limit.h"

namespace tmhost {

std::size_t connections_within(std::size_t wanted, std::size_t descriptor_limit) {
    if (descriptor_limit == 0) return wanted;
    // The module, scene and image files, the pools' and the program's own descriptors, and the
    // refusals of connections past the limit that are being answered.
    const std::size_t kept = 256 + descriptor_limit / 8;
    const std::size_t room = descriptor_limit > kept ? descriptor_limit - kept : 1;
    return wanted < room ? wanted : room;
}

}  // namespace tmhost
