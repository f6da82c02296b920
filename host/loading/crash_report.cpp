#include "host/loading/crash_report.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "host/core/entry_call.h"
#include "host/loading/module_endings.h"
#include "host/loading/signal_stack.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <link.h>
#include <ucontext.h>
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

// Where the started module's code lies; until it has started, every crash is the module's.
struct CodeRange {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
};
constexpr int kMostRanges = 8;
CodeRange module_code[kMostRanges];
int module_ranges = 0;
volatile bool every_crash_is_the_modules = true;

bool in_module_code(std::uintptr_t address) {
    for (int i = 0; i < module_ranges; ++i) {
        if (address >= module_code[i].begin && address < module_code[i].end) return true;
    }
    return false;
}

void keep_lines(const std::string& module_path, const char* phase) {
    for (int i = 0; i < kCount; ++i)
        keep(crash_line(module_path, kCaught[i], phase), lines[i], lengths[i]);
    keep(crash_line(module_path, 0, phase), other_line, other_length);
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

// Threads may crash together (one node shaded from every thread): one of them writes the line.
void write_and_end(unsigned long signal) {
    const char* line = other_line;
    std::size_t length = other_length;
    for (int i = 0; i < kCount; ++i) {
        if (kCaught[i] == signal) {
            line = lines[i];
            length = lengths[i];
        }
    }
    write_line_and_end(line, length);
}

#ifdef _WIN32
LPTOP_LEVEL_EXCEPTION_FILTER earlier_filter = nullptr;
void (*earlier_abort)(int) = SIG_DFL;

void on_abort(int) { end_with(Ending::aborted); }

LONG WINAPI on_exception(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    const auto at = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
    // An access violation of kind 8 is an instruction fetched where no code is.
    const bool jumped_nowhere = record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
                                record.NumberParameters >= 1 && record.ExceptionInformation[0] == 8;
    if (every_crash_is_the_modules || in_module_code(at) || jumped_nowhere ||
        EntryCall::in_progress()) {
        if (record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) end_with(Ending::stack_overflow);
        write_and_end(record.ExceptionCode);
    }
    return earlier_filter != nullptr ? earlier_filter(exception) : EXCEPTION_CONTINUE_SEARCH;
}
#else
// The crash signals and SIGABRT: an abort while a report lives is the module's, wherever it
// was called from (module_endings.h).
const int kHandled[] = {SIGSEGV, SIGILL, SIGBUS, SIGFPE, SIGABRT};
constexpr int kHandledCount = sizeof kHandled / sizeof kHandled[0];
struct sigaction earlier[kHandledCount];
struct sigaction ours;

std::uintptr_t instruction_address(const void* context) {
    const auto* machine = &static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__i386__)
    return static_cast<std::uintptr_t>(machine->gregs[REG_EIP]);
#elif defined(__x86_64__)
    return static_cast<std::uintptr_t>(machine->gregs[REG_RIP]);
#else
    (void)machine;
    return 0;
#endif
}

const char* signal_abbreviation(int signal) {
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGILL:
        return "SIGILL";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    default:
        return "SIGABRT";
    }
}

void on_signal(int signal, siginfo_t* info, void* context) {
    if (signal == SIGABRT) end_with(Ending::aborted);
    const std::uintptr_t at = instruction_address(context);
    // A fault at the very address of the instruction is a jump to where no code is.
    const bool jumped_nowhere = (signal == SIGSEGV || signal == SIGBUS) &&
                                reinterpret_cast<std::uintptr_t>(info->si_addr) == at;
    if (every_crash_is_the_modules || in_module_code(at) || jumped_nowhere ||
        EntryCall::in_progress()) {
        if (signal == SIGSEGV && is_stack_overflow(info->si_addr, context))
            end_with(Ending::stack_overflow);
        write_and_end(static_cast<unsigned long>(signal));
    }
    // Not the module's: the handler from before takes it when the instruction faults again.
    for (int i = 0; i < kHandledCount; ++i) {
        if (kHandled[i] == signal) sigaction(signal, &earlier[i], nullptr);
    }
}

// The executable segments of the loaded object that holds `entry`.
int note_module_code(dl_phdr_info* object, std::size_t, void* entry) {
    const auto address = reinterpret_cast<std::uintptr_t>(entry);
    bool holds_entry = false;
    for (int i = 0; i < object->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = object->dlpi_phdr[i];
        const std::uintptr_t begin = object->dlpi_addr + segment.p_vaddr;
        if (segment.p_type == PT_LOAD && address >= begin && address < begin + segment.p_memsz) {
            holds_entry = true;
        }
    }
    if (!holds_entry) return 0;
    for (int i = 0; i < object->dlpi_phnum && module_ranges < kMostRanges; ++i) {
        const ElfW(Phdr)& segment = object->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) continue;
        const std::uintptr_t begin = object->dlpi_addr + segment.p_vaddr;
        module_code[module_ranges++] = {begin, begin + segment.p_memsz};
    }
    return 1;
}
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

std::string crash_text(const std::string& module_path, unsigned long signal, const char* phase) {
    const char* name = name_of(signal);
    const std::string where = "; `tonemix-host validate " + module_path + "` shows where";
    if (signal == 0) return std::string("the module crashed while ") + phase + where;
#ifdef _WIN32
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", signal);
    const std::string what =
        std::string("exception ") + code + (name ? std::string(", ") + name : "");
#else
    const std::string what =
        "signal " + std::to_string(signal) + (name ? std::string(", ") + name : "");
#endif
    return std::string("the module crashed while ") + phase + " (" + what + ")" + where;
}

std::string crash_line(const std::string& module_path, unsigned long signal, const char* phase) {
    return "tonemix-host: " + crash_text(module_path, signal, phase);
}

CrashReport::CrashReport(const std::string& module_path)
    : module_path_(module_path), signal_stack_(std::make_unique<SignalStack>()) {
    module_ranges = 0;
    every_crash_is_the_modules = true;
    keep_lines(module_path_, "loading");
    arm_module_endings("loading");
#ifdef _WIN32
    earlier_filter = SetUnhandledExceptionFilter(on_exception);
    earlier_abort = std::signal(SIGABRT, on_abort);
#else
    ours = {};
    ours.sa_sigaction = on_signal;
    // On the thread's signal stack: a thread that overflowed its own has no room for a handler.
    ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&ours.sa_mask);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int i = 0; i < kHandledCount; ++i) {
        sigaction(kHandled[i], &ours, &earlier[i]);
        sigaddset(&blocked, kHandled[i]);
    }
    // A crash while its signal is blocked (a mask inherited from the parent) ends the process
    // without its handler: the report would say nothing.
    pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
#endif
}

void CrashReport::started(const void* entry, const char* phase) {
    module_ranges = 0;
#ifdef _WIN32
    HMODULE module = nullptr;
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<const char*>(entry), &module) &&
        module != nullptr) {
        const auto base = reinterpret_cast<std::uintptr_t>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        module_code[module_ranges++] = {base, base + nt->OptionalHeader.SizeOfImage};
    }
#else
    dl_iterate_phdr(note_module_code, const_cast<void*>(entry));
#endif
    set_phase(phase);
    // Without its code found, every crash stays the module's rather than none.
    every_crash_is_the_modules = module_ranges == 0;
}

void CrashReport::set_phase(const char* phase) {
    reclaim_handlers();
    keep_lines(module_path_, phase);
    set_module_ending_phase(phase);
}

void CrashReport::reclaim_handlers() {
#ifdef _WIN32
    const LPTOP_LEVEL_EXCEPTION_FILTER now = SetUnhandledExceptionFilter(on_exception);
    if (now != on_exception) {
        note_replaced(
            "the module set its own filter of unhandled exceptions; the host put its "
            "own back");
    }
    const auto abort_now = std::signal(SIGABRT, on_abort);
    if (abort_now != on_abort)
        note_replaced("the module set its own handler for SIGABRT; the host put its own back");
#else
    for (int signal : kHandled) {
        struct sigaction now {};
        if (sigaction(signal, nullptr, &now) != 0) continue;
        const bool still_ours = (now.sa_flags & SA_SIGINFO) != 0 && now.sa_sigaction == on_signal;
        if (still_ours) continue;
        sigaction(signal, &ours, nullptr);
        const std::string name = signal_abbreviation(signal);
        note_replaced(now.sa_handler == SIG_IGN
                          ? "the module ignored " + name + "; the host put its handler back"
                          : "the module set its own handler for " + name +
                                "; the host put its own back");
    }
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : kHandled) sigaddset(&blocked, signal);
    pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
#endif
}

void CrashReport::note_replaced(const std::string& line) {
    for (const std::string& seen : replaced_) {
        if (seen == line) return;
    }
    replaced_.push_back(line);
}

std::vector<int> CrashReport::handled_signals() {
#ifdef _WIN32
    return {};
#else
    return std::vector<int>(std::begin(kHandled), std::end(kHandled));
#endif
}

std::vector<std::string> CrashReport::replaced_handlers() {
    reclaim_handlers();
    return replaced_;
}

CrashReport::~CrashReport() {
    disarm_module_endings();
#ifdef _WIN32
    SetUnhandledExceptionFilter(earlier_filter);
    std::signal(SIGABRT, earlier_abort);
#else
    for (int i = 0; i < kHandledCount; ++i) sigaction(kHandled[i], &earlier[i], nullptr);
#endif
}

}  // namespace tmhost
