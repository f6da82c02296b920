#include <cstdlib>

#include <windows.h>

#include "host/loading/module_endings.h"
#include "host/loading/module_endings_shared.h"

namespace tmhost {

namespace {

// The C runtime tells an atexit hook nothing of the code.
void on_exit_without_code() { on_immediate_exit(-1); }

}  // namespace

void endings::install_exit_hooks(int copies) {
    for (int copy = 0; copy < copies; ++copy) std::atexit(on_exit_without_code);
}

// A Windows process has no children that inherit its memory.
void endings::note_arming_process() {}

bool endings::in_arming_process() { return true; }

void endings::wait_for_the_end() {
    for (;;) Sleep(INFINITE);
}

void endings::write_to_stderr(const char* line, std::size_t length) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
}

void host_exit_now(int code) { std::_Exit(code); }

}  // namespace tmhost
