#include "host/program/program_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/program/program_output_shared.h"

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

void keep_standard_output_from_modules() {
    if (own_stdout != nullptr) return;
    std::fflush(stdout);
    own_stdout = output::take_standard_output();
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
