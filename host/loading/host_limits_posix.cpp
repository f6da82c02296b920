#include "host/loading/host_limits.h"

#include <pthread.h>
#include <sys/resource.h>

#include <cstddef>

namespace tmhost {

std::optional<unsigned long> stack_limit_kib() {
    rlimit stack{};
    if (getrlimit(RLIMIT_STACK, &stack) != 0 || stack.rlim_cur == RLIM_INFINITY)
        return std::nullopt;
    return static_cast<unsigned long>(stack.rlim_cur / 1024);
}

std::optional<unsigned long> thread_stack_kib() {
    pthread_attr_t defaults;
    if (pthread_getattr_default_np(&defaults) != 0) return std::nullopt;
    std::size_t bytes = 0;
    const int error = pthread_attr_getstacksize(&defaults, &bytes);
    pthread_attr_destroy(&defaults);
    if (error != 0 || bytes == 0) return std::nullopt;
    return static_cast<unsigned long>(bytes / 1024);
}

namespace {

// The soft limit in the unit given, or nothing to say when it is unlimited or large enough.
void check(std::vector<std::string>& problems, int resource, const char* what, unsigned long need,
           unsigned long unit, const char* unit_name) {
    if (need == 0) return;
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    const unsigned long long have = static_cast<unsigned long long>(limit.rlim_cur) / unit;
    if (have >= need) return;
    problems.push_back(std::string("the ") + what + " is " + std::to_string(have) + " " +
                       unit_name + ", below the " + std::to_string(need) + " " + unit_name +
                       " needed");
}

}  // namespace

std::vector<std::string> host_limit_problems(const HostNeeds& needs) {
    std::vector<std::string> problems;
    check(problems, RLIMIT_AS, "address-space limit (ulimit -v)", needs.address_space_kib, 1024,
          "KiB");
    check(problems, RLIMIT_DATA, "data limit (ulimit -d)", needs.address_space_kib, 1024, "KiB");
    check(problems, RLIMIT_STACK, "stack limit (ulimit -s)", needs.stack_kib, 1024, "KiB");
    check(problems, RLIMIT_CPU, "processor-time limit (ulimit -t)", needs.cpu_seconds, 1, "s");
    check(problems, RLIMIT_NOFILE, "open-file limit (ulimit -n)", needs.open_files, 1,
          "descriptors");
    return problems;
}

}  // namespace tmhost
