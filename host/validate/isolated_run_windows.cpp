#include "host/validate/isolated_run.h"

#include <cstdint>
#include <cstdio>

#include <windows.h>

#include "host/loading/crash_report.h"
#include "host/validate/child_endings.h"
#include "host/validate/isolated_run_shared.h"

namespace tmhost {

using namespace isolation;

namespace {

std::string exception_text(DWORD code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    const char* name = exception_name(code);
    return std::string("crashed: exception ") + hex +
           (name != nullptr ? std::string(" (") + name + ")" : "");
}

// The last progress note, for the crash filter's verdict.
std::string note_seen;

void note_in_memory(const std::string& what) { note_seen = what; }

// A crash in the module ends the child with its verdict, naming the case, rather than with a
// debugger's report.
LONG WINAPI crash_verdict(EXCEPTION_POINTERS* exception) {
    write_parent_file(with_last_note(
        failed(exception_text(exception->ExceptionRecord->ExceptionCode)), note_seen));
}

std::string quoted_argument(const std::string& argument) {
    std::string text = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            backslashes += 1;
            continue;
        }
        if (c == '"')
            text.append(backslashes * 2 + 1, '\\');
        else
            text.append(backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, '\\');
    return text + "\"";
}

std::string whole_file(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

}  // namespace

// The system's loader catches a crash while a module loads, and the load fails.
bool isolates_load_crashes() { return false; }

void run_for_parent(const ValidationGroup& group, const ValidationSettings& settings,
                    const std::string& verdict_file) {
    give_verdicts_to_file(verdict_file);
    send_child_output(write_parent_file, note_in_memory);
    SetUnhandledExceptionFilter(crash_verdict);
    write_parent_file(run_in_process(group, settings));
}

GroupVerdict run_isolated(const ValidationGroup& group, const ValidationSettings& settings,
                          int time_limit_seconds) {
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program)
        return failed("this program's own path is unknown");
    char folder[MAX_PATH];
    char verdict_file[MAX_PATH];
    if (GetTempPathA(sizeof folder, folder) == 0 ||
        GetTempFileNameA(folder, "tmv", 0, verdict_file) == 0) {
        return failed("no temporary file for the child's verdict");
    }
    std::string command = quoted_argument(program) + " validate " +
                          quoted_argument(settings.module_path) + " --only " + group.name +
                          " --in-process --level " + std::to_string(settings.level) + " --seed " +
                          std::to_string(settings.seed);
    SetEnvironmentVariableA(kVerdictFileVariable, verdict_file);
    // A crash in the child must end it, not wait for someone to close a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::fflush(nullptr);
    const BOOL started = CreateProcessA(program, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableA(kVerdictFileVariable, nullptr);
    if (!started) {
        DeleteFileA(verdict_file);
        return failed("the child process did not start (error " + std::to_string(GetLastError()) +
                      ")");
    }
    CloseHandle(process.hThread);
    const DWORD waited =
        WaitForSingleObject(process.hProcess, static_cast<DWORD>(time_limit_seconds) * 1000);
    GroupVerdict verdict;
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        verdict = failed(limit_text(time_limit_seconds));
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        const std::string text = whole_file(verdict_file);
        if (code >= 0xC0000000)
            verdict = failed(exception_text(code));
        else if (code != 0 || text.empty())
            verdict = failed(exit_failure(static_cast<int32_t>(code)));
        else
            verdict = verdict_from_text(text);
    }
    CloseHandle(process.hProcess);
    DeleteFileA(verdict_file);
    return verdict;
}

}  // namespace tmhost
