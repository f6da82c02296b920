#include "host/program/program_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tmhost {

namespace {
// The first error of a write to stdout: errno is gone by the time the stream is flushed.
int stdout_error = 0;
// Where the program's own standard output goes: stdout, or once taken from the module, a stream
// on a descriptor of the program's own.
std::FILE* own_stdout = nullptr;

std::FILE* out() { return own_stdout != nullptr ? own_stdout : stdout; }

void note_stdout(bool written) {
    if (!written && stdout_error == 0) stdout_error = errno != 0 ? errno : EIO;
}

void flush_stdout() {
    errno = 0;
    note_stdout(std::fflush(out()) == 0);
}
}  // namespace

void prepare_program_output() {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#else
    // A standard stream started closed is held by /dev/null opened for reading: no file the
    // program opens may become descriptor 1 and take its lines, and a write to it still fails
    // (EBADF), so the loss is reported.
    for (int stream = 0; stream <= 2; ++stream) {
        if (fcntl(stream, F_GETFD) != -1) continue;
        const int held = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (held >= 0 && held != stream) close(held);
    }
#endif
}

void keep_standard_output_from_modules() {
    if (own_stdout != nullptr) return;
    std::fflush(stdout);
#if defined(_WIN32)
    const int own = _dup(1);
    if (own < 0) return;
    _setmode(own, _O_BINARY);
    own_stdout = _fdopen(own, "wb");
    if (own_stdout == nullptr) {
        _close(own);
        return;
    }
    _dup2(2, 1);
#else
    const int own = fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (own < 0) return;
    own_stdout = fdopen(own, "w");
    if (own_stdout == nullptr) {
        close(own);
        return;
    }
    // As stdout was: a terminal sees each line as it is written.
    if (isatty(own)) setvbuf(own_stdout, nullptr, _IOLBF, BUFSIZ);
    dup2(2, 1);
#endif
}

std::FILE* program_stdout() { return out(); }

void out_line(const std::string& line) {
    errno = 0;
    note_stdout(std::fwrite(line.data(), 1, line.size(), out()) == line.size());
    note_stdout(std::fputc('\n', out()) != EOF);
}

void out_bytes(const std::string& bytes) {
    errno = 0;
    note_stdout(std::fwrite(bytes.data(), 1, bytes.size(), out()) == bytes.size());
}

std::string finish_standard_output() {
    flush_stdout();
    if (stdout_error == 0 && std::ferror(out()) != 0) stdout_error = EIO;
    return stdout_error == 0 ? std::string() : std::strerror(stdout_error);
}

void error_line(const std::string& message) {
    flush_stdout();
    std::fprintf(stderr, "tonemix-host: %s\n", message.c_str());
    std::fflush(stderr);
}

void note_line(const std::string& line) {
    flush_stdout();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace tmhost
