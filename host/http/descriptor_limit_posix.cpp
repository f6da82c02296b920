#include "host/http/descriptor_limit.h"

#include <sys/resource.h>

namespace tmhost {

std::size_t raise_descriptor_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY) return 0;
    return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace tmhost
