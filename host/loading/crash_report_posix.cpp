#include "host/loading/crash_report.h"

#include <csignal>
#include <cstdint>
#include <iterator>

#include <link.h>
#include <ucontext.h>
#include <unistd.h>

#include "host/loading/crash_report_shared.h"
#include "host/loading/module_endings.h"
#include "host/loading/signal_stack.h"

namespace tmhost {

const unsigned long crash::kCaught[] = {SIGSEGV, SIGILL, SIGBUS, SIGFPE};
const int crash::kCaughtCount = 4;

namespace {

static_assert(sizeof crash::kCaught / sizeof crash::kCaught[0] == 4, "kCaughtCount counts them");
static_assert(4 <= crash::kMostCaught, "a line for each caught kind");

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

const char* name_of(unsigned long signal) {
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
    if (crash::is_the_modules(at, jumped_nowhere)) {
        if (signal == SIGSEGV && is_stack_overflow(info->si_addr, context))
            end_with(Ending::stack_overflow);
        crash::write_and_end(static_cast<unsigned long>(signal));
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
    for (int i = 0; i < object->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = object->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) continue;
        const std::uintptr_t begin = object->dlpi_addr + segment.p_vaddr;
        crash::add_module_code(begin, begin + segment.p_memsz);
    }
    return 1;
}

}  // namespace

std::string crash::crash_kind_text(unsigned long signal) {
    const char* name = name_of(signal);
    return "signal " + std::to_string(signal) + (name ? std::string(", ") + name : "");
}

void crash::install_handlers() {
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
}

void crash::restore_handlers() {
    for (int i = 0; i < kHandledCount; ++i) sigaction(kHandled[i], &earlier[i], nullptr);
}

void crash::find_module_code(const void* entry) {
    dl_iterate_phdr(note_module_code, const_cast<void*>(entry));
}

void CrashReport::reclaim_handlers() {
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
}

std::vector<int> CrashReport::handled_signals() {
    return std::vector<int>(std::begin(kHandled), std::end(kHandled));
}

bool CrashReport::keep_for_the_process(std::unique_ptr<CrashReport> report) {
    static auto* const kept = new std::vector<std::unique_ptr<CrashReport>>;
    report->set_phase("running after its end");
    kept->push_back(std::move(report));
    return true;
}

}  // namespace tmhost
