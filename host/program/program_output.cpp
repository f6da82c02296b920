#include "host/program/program_output.h"

#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace tmhost {

void prepare_program_output() {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void out_line(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void error_line(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "tonemix-host: %s\n", message.c_str());
    std::fflush(stderr);
}

}  // namespace tmhost
