#include "host/loading/crash_report.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tmhost {

namespace {

#ifdef _WIN32
const unsigned long kCaught[] = {EXCEPTION_ACCESS_VIOLATION,   EXCEPTION_ILLEGAL_INSTRUCTION,
                                 EXCEPTION_INT_DIVIDE_BY_ZERO, EXCEPTION_STACK_OVERFLOW,
                                 EXCEPTION_PRIV_INSTRUCTION,   EXCEPTION_IN_PAGE_ERROR};
#else
const unsigned long kCaught[] = {SIGSEGV, SIGILL, SIGBUS, SIGFPE};
#endif
constexpr int kCount = sizeof kCaught / sizeof kCaught[0];

// Made before the module runs: the handler only picks one and writes it.
char lines[kCount][1024];
std::size_t lengths[kCount];
char other_line[1024];
std::size_t other_length = 0;

void keep(const std::string& line, char* into, std::size_t& length) {
    length = std::min(line.size() + 1, sizeof lines[0]);
    std::memcpy(into, line.data(), length - 1);
    into[length - 1] = '\n';
}

const char* name_of(unsigned long signal) {
#ifdef _WIN32
    return exception_name(signal);
#else
    switch (signal) {
    case SIGSEGV:
        return "segmentation fault";
    case SIGILL:
        return "illegal instruction";
    case SIGBUS:
        return "bus error";
    case SIGFPE:
        return "arithmetic exception";
    default:
        return nullptr;
    }
#endif
}

void write_and_end(unsigned long signal) {
    const char* line = other_line;
    std::size_t length = other_length;
    for (int i = 0; i < kCount; ++i) {
        if (kCaught[i] == signal) {
            line = lines[i];
            length = lengths[i];
        }
    }
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
    ExitProcess(2);
#else
    if (write(STDERR_FILENO, line, length) < 0) {
        // Nothing more can be said.
    }
    _exit(2);
#endif
}

#ifdef _WIN32
LPTOP_LEVEL_EXCEPTION_FILTER earlier_filter = nullptr;

LONG WINAPI on_exception(EXCEPTION_POINTERS* exception) {
    write_and_end(exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}
#else
struct sigaction earlier[kCount];

void on_signal(int signal) { write_and_end(static_cast<unsigned long>(signal)); }
#endif

}  // namespace

const char* exception_name(unsigned long code) {
    switch (code) {
    case 0xC0000005:
        return "access violation";
    case 0xC0000006:
        return "page error";
    case 0xC000001D:
        return "illegal instruction";
    case 0xC0000094:
        return "integer division by zero";
    case 0xC0000096:
        return "privileged instruction";
    case 0xC00000FD:
        return "stack overflow";
    case 0xC0000409:
        return "stack buffer overrun";
    default:
        return nullptr;
    }
}

std::string crash_line(const std::string& module_path, unsigned long signal) {
    const char* name = name_of(signal);
    if (signal == 0) {
        return "tonemix-host: the module crashed while loading; `tonemix-host validate " +
               module_path + "` shows where";
    }
#ifdef _WIN32
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", signal);
    const std::string what =
        std::string("exception ") + code + (name ? std::string(", ") + name : "");
#else
    const std::string what =
        "signal " + std::to_string(signal) + (name ? std::string(", ") + name : "");
#endif
    return "tonemix-host: the module crashed while loading (" + what +
           "); `tonemix-host validate " + module_path + "` shows where";
}

CrashReport::CrashReport(const std::string& module_path) {
    for (int i = 0; i < kCount; ++i)
        keep(crash_line(module_path, kCaught[i]), lines[i], lengths[i]);
    keep(crash_line(module_path, 0), other_line, other_length);
#ifdef _WIN32
    earlier_filter = SetUnhandledExceptionFilter(on_exception);
#else
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kCount; ++i) {
        sigaction(static_cast<int>(kCaught[i]), &action, &earlier[i]);
    }
#endif
}

CrashReport::~CrashReport() {
#ifdef _WIN32
    SetUnhandledExceptionFilter(earlier_filter);
#else
    for (int i = 0; i < kCount; ++i) sigaction(static_cast<int>(kCaught[i]), &earlier[i], nullptr);
#endif
}

}  // namespace tmhost
