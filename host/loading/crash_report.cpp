#include "host/loading/crash_report.h"

#include <algorithm>
#include <cstring>

#include "host/core/entry_call.h"
#include "host/loading/crash_report_shared.h"
#include "host/loading/module_endings.h"

namespace tmhost {

namespace {

// Made before the module runs: the handler only picks one and writes it.
char lines[crash::kMostCaught][1024];
std::size_t lengths[crash::kMostCaught];
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

}  // namespace

void crash::keep_lines(const std::string& module_path, const char* phase) {
    for (int i = 0; i < kCaughtCount; ++i)
        keep(crash_line(module_path, kCaught[i], phase), lines[i], lengths[i]);
    keep(crash_line(module_path, 0, phase), other_line, other_length);
}

// Threads may crash together (one node shaded from every thread): one of them writes the line.
void crash::write_and_end(unsigned long signal) {
    const char* line = other_line;
    std::size_t length = other_length;
    for (int i = 0; i < kCaughtCount; ++i) {
        if (kCaught[i] == signal) {
            line = lines[i];
            length = lengths[i];
        }
    }
    write_line_and_end(line, length);
}

void crash::forget_module_code() { module_ranges = 0; }

void crash::add_module_code(std::uintptr_t begin, std::uintptr_t end) {
    if (module_ranges < kMostRanges) module_code[module_ranges++] = {begin, end};
}

bool crash::has_module_code() { return module_ranges > 0; }

void crash::set_every_crash_the_modules(bool every) { every_crash_is_the_modules = every; }

bool crash::is_the_modules(std::uintptr_t at, bool jumped_nowhere) {
    return every_crash_is_the_modules || in_module_code(at) || jumped_nowhere ||
           EntryCall::in_progress();
}

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
    const std::string where = "; `tonemix-host validate " + module_path + "` shows where";
    if (signal == 0) return std::string("the module crashed while ") + phase + where;
    return std::string("the module crashed while ") + phase + " (" +
           crash::crash_kind_text(signal) + ")" + where;
}

std::string crash_line(const std::string& module_path, unsigned long signal, const char* phase) {
    return "tonemix-host: " + crash_text(module_path, signal, phase);
}

CrashReport::CrashReport(const std::string& module_path)
    : module_path_(module_path), signal_stack_(std::make_unique<SignalStack>()) {
    crash::forget_module_code();
    crash::set_every_crash_the_modules(true);
    crash::keep_lines(module_path_, "loading");
    arm_module_endings("loading");
    crash::install_handlers();
}

void CrashReport::started(const void* entry, const char* phase) {
    crash::forget_module_code();
    crash::find_module_code(entry);
    set_phase(phase);
    // Without its code found, every crash stays the module's rather than none.
    crash::set_every_crash_the_modules(!crash::has_module_code());
}

void CrashReport::set_phase(const char* phase) {
    reclaim_handlers();
    crash::keep_lines(module_path_, phase);
    set_module_ending_phase(phase);
}

void CrashReport::note_replaced(const std::string& line) {
    for (const std::string& seen : replaced_) {
        if (seen == line) return;
    }
    replaced_.push_back(line);
}

std::vector<std::string> CrashReport::replaced_handlers() {
    reclaim_handlers();
    return replaced_;
}

CrashReport::~CrashReport() {
    disarm_module_endings();
    crash::restore_handlers();
}

}  // namespace tmhost
