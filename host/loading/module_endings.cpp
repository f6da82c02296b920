#include "host/loading/module_endings.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tmhost {

namespace {

// Made while no module code runs: a handler only picks one and writes it.
constexpr int kKinds = 4;
char lines[kKinds][512];
std::size_t lengths[kKinds];
char phase_now[64] = "";
volatile bool armed = false;
#ifndef _WIN32
pid_t armed_in = 0;  // the process that armed: a child the module forks inherits `armed`
#endif

std::terminate_handler earlier_terminate = nullptr;
#ifdef _WIN32
// More than the render threads a command may run.
constexpr int kExitHookCopies = 128;
bool exit_hook_installed = false;
#endif

std::atomic_flag line_taken = ATOMIC_FLAG_INIT;

void keep_lines() {
    for (int kind = 0; kind < kKinds; ++kind) {
        const std::string line =
            "tonemix-host: " + ending_text(static_cast<Ending>(kind), phase_now) + "\n";
        lengths[kind] = std::min(line.size(), sizeof lines[0]);
        std::memcpy(lines[kind], line.data(), lengths[kind]);
        lines[kind][lengths[kind] - 1] = '\n';
    }
}

void append(char* line, std::size_t& length, std::size_t most, const char* text) {
    for (; *text != '\0' && length < most; ++text) line[length++] = *text;
}

// Allocates nothing: a module may call _exit from its own handler of a crash inside the
// allocator, whose lock it then holds. The line is ending_text's, made here from its parts.
void on_exit_hook(int code) {
    if (!armed) return;
#ifndef _WIN32
    if (getpid() != armed_in) return;
#endif
    if (code < 0) end_with(Ending::exited);  // kept without a code
    char digits[16];
    std::size_t count = 0;
    for (unsigned value = static_cast<unsigned>(code); count == 0 || value != 0; value /= 10)
        digits[count++] = static_cast<char>('0' + value % 10);
    char line[512];
    std::size_t length = 0;
    const std::size_t most = sizeof line - 1;
    append(line, length, most, "tonemix-host: the module ended the process (exit ");
    while (count > 0 && length < most) line[length++] = digits[--count];
    append(line, length, most, ") while ");
    append(line, length, most, phase_now);
    line[length++] = '\n';
    write_line_and_end(line, length);
}

#ifdef _WIN32
// The C runtime tells an atexit hook nothing of the code.
void on_exit_without_code() { on_exit_hook(-1); }
#endif

void on_terminate() {
    if (armed) end_with(Ending::uncaught_exception);
    if (earlier_terminate != nullptr) earlier_terminate();
    std::abort();
}

}  // namespace

std::string ending_text(Ending ending, const char* phase, int exit_code) {
    const std::string when = std::string(" while ") + phase;
    switch (ending) {
    case Ending::exited:
        return exit_code < 0
                   ? "the module ended the process" + when
                   : "the module ended the process (exit " + std::to_string(exit_code) + ")" + when;
    case Ending::aborted:
        return "the module aborted" + when;
    case Ending::uncaught_exception:
        return "the module threw an exception no one caught" + when;
    case Ending::stack_overflow:
        return "the module overflowed its stack" + when;
    }
    return "the module ended the process" + when;
}

void arm_module_endings(const char* phase) {
#ifdef _WIN32
    if (!exit_hook_installed) {
        // Registered for the whole life of the process: a hook cannot be taken back. Each call of
        // exit takes the next hook from the list, so threads that exit together (every render
        // thread at its first point) each find one of their own, and wait in it while the first
        // ends the process: with one copy, a second exit would find none and end with the
        // module's code.
        for (int copy = 0; copy < kExitHookCopies; ++copy) std::atexit(on_exit_without_code);
        exit_hook_installed = true;
    }
#endif
    set_module_ending_phase(phase);
    earlier_terminate = std::set_terminate(on_terminate);
#ifndef _WIN32
    armed_in = getpid();
#endif
    armed = true;
}

void set_module_ending_phase(const char* phase) {
    std::snprintf(phase_now, sizeof phase_now, "%s", phase);
    keep_lines();
}

const char* module_phase() { return phase_now; }

void on_immediate_exit(int code) { on_exit_hook(code); }

void disarm_module_endings() {
    phase_now[0] = '\0';
    if (!armed) return;
    armed = false;
    std::set_terminate(earlier_terminate);
    earlier_terminate = nullptr;
}

void end_with(Ending ending) {
    const int kind = static_cast<int>(ending);
    write_line_and_end(lines[kind], lengths[kind]);
}

void write_line_and_end(const char* line, std::size_t length) {
    if (line_taken.test_and_set()) {
        for (;;) {
#ifdef _WIN32
            Sleep(INFINITE);
#else
            pause();
#endif
        }
    }
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
#else
    if (write(STDERR_FILENO, line, length) < 0) {
        // Nothing more can be said.
    }
#endif
    host_exit_now(2);
}

void host_exit_now(int code) {
#ifdef _WIN32
    std::_Exit(code);
#else
    syscall(SYS_exit_group, code);
    _exit(code);  // not reached
#endif
}

}  // namespace tmhost
