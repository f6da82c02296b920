#include "host/loading/module_endings.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "host/loading/coverage_counts.h"
#include "host/loading/module_endings_shared.h"

namespace tmhost {

namespace {

// Made while no module code runs: a handler only picks one and writes it.
constexpr int kKinds = 4;
char lines[kKinds][512];
std::size_t lengths[kKinds];
char phase_now[64] = "";
volatile bool armed = false;

std::terminate_handler earlier_terminate = nullptr;
// More than the render threads a command may run.
constexpr int kExitHookCopies = 128;
bool exit_hook_installed = false;

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
    if (!armed || !endings::in_arming_process()) return;
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
    write_coverage_counts();
    write_line_and_end(line, length);
}

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
    if (!exit_hook_installed) {
        // Registered for the whole life of the process: a hook cannot be taken back. Each call of
        // exit takes the next hook from the list, so threads that exit together (every render
        // thread at its first point) each find one of their own, and wait in it while the first
        // ends the process: with one copy, a second exit would find none and end with the
        // module's code.
        endings::install_exit_hooks(kExitHookCopies);
        exit_hook_installed = true;
    }
    set_module_ending_phase(phase);
    earlier_terminate = std::set_terminate(on_terminate);
    endings::note_arming_process();
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
    if (line_taken.test_and_set()) endings::wait_for_the_end();
    endings::write_to_stderr(line, length);
    host_exit_now(2);
}
}  // namespace tmhost
