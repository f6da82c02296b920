#include "host/validate/output_descriptors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tmhost {

int duplicate(int descriptor) { return fcntl(descriptor, F_DUPFD_CLOEXEC, 3); }
int duplicate_onto(int from, int onto) { return dup2(from, onto); }
int close_descriptor(int descriptor) { return close(descriptor); }
long descriptor_size(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 ? static_cast<long>(status.st_size) : -1;
}

}  // namespace tmhost
