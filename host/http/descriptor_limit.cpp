#include "host/http/descriptor_limit.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace tmhost {

std::size_t raise_descriptor_limit() {
#if defined(_WIN32)
    return 0;
#else
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY) return 0;
    return static_cast<std::size_t>(limit.rlim_cur);
#endif
}

std::size_t connections_within(std::size_t wanted, std::size_t descriptor_limit) {
    if (descriptor_limit == 0) return wanted;
    // The module, scene and image files, the pools' and the program's own descriptors, and the
    // refusals of connections past the limit that are being answered.
    const std::size_t kept = 256 + descriptor_limit / 8;
    const std::size_t room = descriptor_limit > kept ? descriptor_limit - kept : 1;
    return wanted < room ? wanted : room;
}

}  // namespace tmhost
