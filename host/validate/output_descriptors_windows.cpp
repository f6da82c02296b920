#include "host/validate/output_descriptors.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace tmhost {

int duplicate(int descriptor) { return _dup(descriptor); }
int duplicate_onto(int from, int onto) { return _dup2(from, onto); }
int close_descriptor(int descriptor) { return _close(descriptor); }
long descriptor_size(int descriptor) {
    struct _stat status {};
    return _fstat(descriptor, &status) == 0 ? static_cast<long>(status.st_size) : -1;
}

}  // namespace tmhost
