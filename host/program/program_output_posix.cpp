#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "host/program/program_output.h"
#include "host/program/program_output_shared.h"

namespace tmhost {

void prepare_program_output() {
    // A standard stream started closed is held by /dev/null opened for reading: no file the
    // program opens may become descriptor 1 and take its lines, and a write to it still fails
    // (EBADF), so the loss is reported.
    for (int stream = 0; stream <= 2; ++stream) {
        if (fcntl(stream, F_GETFD) != -1) continue;
        const int held = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (held >= 0 && held != stream) close(held);
    }
}

std::FILE* output::take_standard_output() {
    const int own = fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (own < 0) return nullptr;
    std::FILE* stream = fdopen(own, "w");
    if (stream == nullptr) {
        close(own);
        return nullptr;
    }
    // As stdout was: a terminal sees each line as it is written.
    if (isatty(own)) setvbuf(stream, nullptr, _IOLBF, BUFSIZ);
    dup2(2, 1);
    return stream;
}

}  // namespace tmhost
