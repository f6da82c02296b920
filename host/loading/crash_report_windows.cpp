#include "host/loading/crash_report.h"

#include <csignal>
#include <cstdint>
#include <cstdio>

#include <windows.h>

#include "host/loading/crash_report_shared.h"
#include "host/loading/module_endings.h"

namespace tmhost {

const unsigned long crash::kCaught[] = {EXCEPTION_ACCESS_VIOLATION,   EXCEPTION_ILLEGAL_INSTRUCTION,
                                        EXCEPTION_INT_DIVIDE_BY_ZERO, EXCEPTION_STACK_OVERFLOW,
                                        EXCEPTION_PRIV_INSTRUCTION,   EXCEPTION_IN_PAGE_ERROR};
const int crash::kCaughtCount = 6;

namespace {

static_assert(sizeof crash::kCaught / sizeof crash::kCaught[0] == 6, "kCaughtCount counts them");
static_assert(6 <= crash::kMostCaught, "a line for each caught kind");

LPTOP_LEVEL_EXCEPTION_FILTER earlier_filter = nullptr;
void (*earlier_abort)(int) = SIG_DFL;

void on_abort(int) { end_with(Ending::aborted); }

LONG WINAPI on_exception(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    const auto at = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
    // An access violation of kind 8 is an instruction fetched where no code is.
    const bool jumped_nowhere = record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
                                record.NumberParameters >= 1 && record.ExceptionInformation[0] == 8;
    if (crash::is_the_modules(at, jumped_nowhere)) {
        if (record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) end_with(Ending::stack_overflow);
        crash::write_and_end(record.ExceptionCode);
    }
    return earlier_filter != nullptr ? earlier_filter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

std::string crash::crash_kind_text(unsigned long signal) {
    const char* name = exception_name(signal);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", signal);
    return std::string("exception ") + code + (name ? std::string(", ") + name : "");
}

void crash::install_handlers() {
    earlier_filter = SetUnhandledExceptionFilter(on_exception);
    earlier_abort = std::signal(SIGABRT, on_abort);
}

void crash::restore_handlers() {
    SetUnhandledExceptionFilter(earlier_filter);
    std::signal(SIGABRT, earlier_abort);
}

void crash::find_module_code(const void* entry) {
    HMODULE module = nullptr;
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<const char*>(entry), &module) &&
        module != nullptr) {
        const auto base = reinterpret_cast<std::uintptr_t>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        crash::add_module_code(base, base + nt->OptionalHeader.SizeOfImage);
    }
}

void CrashReport::reclaim_handlers() {
    const LPTOP_LEVEL_EXCEPTION_FILTER now = SetUnhandledExceptionFilter(on_exception);
    if (now != on_exception) {
        note_replaced(
            "the module set its own filter of unhandled exceptions; the host put its "
            "own back");
    }
    const auto abort_now = std::signal(SIGABRT, on_abort);
    if (abort_now != on_abort)
        note_replaced("the module set its own handler for SIGABRT; the host put its own back");
}

// A Windows report takes no signals: the exceptions it handles are not the module's to set.
std::vector<int> CrashReport::handled_signals() { return {}; }

bool CrashReport::keep_for_the_process(std::unique_ptr<CrashReport>) { return false; }

}  // namespace tmhost
