#include <cstdio>

#include <fcntl.h>
#include <io.h>

#include "host/program/program_output.h"
#include "host/program/program_output_shared.h"

namespace tmhost {

void prepare_program_output() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::FILE* output::take_standard_output() {
    const int own = _dup(1);
    if (own < 0) return nullptr;
    _setmode(own, _O_BINARY);
    std::FILE* stream = _fdopen(own, "wb");
    if (stream == nullptr) {
        _close(own);
        return nullptr;
    }
    _dup2(2, 1);
    return stream;
}

}  // namespace tmhost
