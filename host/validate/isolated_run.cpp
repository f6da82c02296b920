#include "host/validate/isolated_run.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <sstream>

#include "host/loading/child_process.h"
#include "host/loading/coverage_counts.h"
#include "host/loading/crash_report.h"
#include "host/loading/module_endings.h"
#include "host/loading/module_session.h"
#include "host/validate/child_endings.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tmhost {

namespace {

std::string one_line(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

GroupVerdict failed(std::string why) {
    GroupVerdict verdict;
    verdict.passed = false;
    verdict.failures.push_back(std::move(why));
    return verdict;
}

std::string limit_text(int seconds) {
    return "hung: no verdict within the time limit of " + std::to_string(seconds) +
           " s (the module hung or ran far too slowly)";
}

GroupVerdict with_last_note(GroupVerdict verdict, const std::string& note) {
    if (!note.empty() && !verdict.failures.empty()) verdict.failures.front() += " during " + note;
    return verdict;
}

// Set in a child process: where a verdict given early goes.
void (*verdict_sink)(const GroupVerdict& verdict) = nullptr;
// Set in a Linux child process: where progress notes go.
void (*note_sink)(const std::string& what) = nullptr;

}  // namespace

void note_progress(const std::string& what) {
    if (note_sink != nullptr) note_sink(what);
}

void deliver_verdict_now(const GroupVerdict& verdict) {
    if (verdict_sink != nullptr) verdict_sink(verdict);
}

namespace {

std::string parent_file;

[[noreturn]] void write_parent_file(const GroupVerdict& verdict) {
    if (std::FILE* file = std::fopen(parent_file.c_str(), "wb")) {
        const std::string text = verdict_text(verdict);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    std::fflush(nullptr);
    write_coverage_counts();
    // The module may be stuck on another thread; nothing of this process is needed any more.
    host_exit_now(0);
}

#if defined(_WIN32)
std::string exception_text(DWORD code);

std::string note_seen;

void note_in_memory(const std::string& what) { note_seen = what; }

// A crash in the module ends the child with its verdict, naming the case, rather than with a
// debugger's report.
LONG WINAPI crash_verdict(EXCEPTION_POINTERS* exception) {
    write_parent_file(with_last_note(
        failed(exception_text(exception->ExceptionRecord->ExceptionCode)), note_seen));
}
#endif

}  // namespace

void run_for_parent(const ValidationGroup& group, const ValidationSettings& settings,
                    const std::string& verdict_file) {
    parent_file = verdict_file;
    verdict_sink = write_parent_file;
#if defined(_WIN32)
    note_sink = note_in_memory;
    SetUnhandledExceptionFilter(crash_verdict);
#endif
    write_parent_file(run_in_process(group, settings));
}

GroupVerdict run_in_process(const ValidationGroup& group, const ValidationSettings& settings) {
    try {
        return group.run(settings);
    } catch (const ModuleError& error) {
        return failed(std::string("the module cannot be driven: ") + error.what());
    } catch (const std::exception& error) {
        return failed(std::string("the group stopped: ") + error.what());
    }
}

std::string verdict_text(const GroupVerdict& verdict) {
    std::string text = verdict.passed ? "pass\n" : "fail\n";
    text += "counts " + one_line(verdict.counts) + "\n";
    for (const std::string& failure : verdict.failures)
        text += "failure " + one_line(failure) + "\n";
    text += "end\n";
    return text;
}

GroupVerdict verdict_from_text(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    GroupVerdict verdict;
    if (!std::getline(lines, line) || (line != "pass" && line != "fail")) {
        return failed("the child process gave no verdict");
    }
    verdict.passed = line == "pass";
    bool ended = false;
    while (std::getline(lines, line)) {
        if (line.rfind("counts ", 0) == 0) verdict.counts = line.substr(7);
        if (line.rfind("failure ", 0) == 0) verdict.failures.push_back(line.substr(8));
        if (line == "end") ended = true;
    }
    if (!ended) return failed("the child process's verdict was cut short");
    return verdict;
}

#if !defined(_WIN32)

namespace {

int child_pipe = -1;
// All the child writes: its notes come before its verdict.
constexpr std::size_t kMostChildBytes = std::numeric_limits<std::size_t>::max();

void write_all(const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(child_pipe, text.data() + written, text.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
}

// No destructors, no atexit: they belong to the parent's state, copied into the child.
[[noreturn]] void write_to_parent(const GroupVerdict& verdict) {
    write_all(verdict_text(verdict));
    write_coverage_counts();
    host_exit_now(0);
}

void note_to_parent(const std::string& what) { write_all("note " + one_line(what) + "\n"); }

// What a child wrote: its progress notes, of which the last counts, and its verdict's lines.
struct ChildText {
    std::string last_note;
    std::string ending;
    std::string verdict;
};

ChildText split_notes(const std::string& text) {
    ChildText split;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::size_t ending = std::strlen(kEndingNote);
        if (text.compare(at, 5, "note ") == 0) {
            split.last_note = text.substr(at + 5, end - at - 5);
        } else if (text.compare(at, ending, kEndingNote) == 0) {
            // The first counts: an uncaught exception aborts after it is told.
            if (split.ending.empty()) split.ending = text.substr(at + ending, end - at - ending);
        } else {
            split.verdict += text.substr(at, end - at) + "\n";
        }
        at = end + 1;
    }
    return split;
}

}  // namespace

GroupVerdict run_isolated(const ValidationGroup& group, const ValidationSettings& settings,
                          int time_limit_seconds) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return failed("no pipe for a child process: " + std::string(strerror(errno)));
    std::fflush(nullptr);
    wait_for_children_by_default();
    const pid_t child = fork();
    if (child < 0) {
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        return failed("no child process: " + std::string(strerror(errno)));
    }
    if (child == 0) {
        enter_own_group();
        close(pipe_ends[0]);
        child_pipe = pipe_ends[1];
        verdict_sink = write_to_parent;
        note_sink = note_to_parent;
        watch_child_endings(child_pipe);
        write_to_parent(run_in_process(group, settings));
    }
    close(pipe_ends[1]);
    give_own_group(child);
    // Waited for by its end: a process the module forked may hold the pipe open after it.
    std::string text;
    const ChildEnd end =
        wait_for_child(child, pipe_ends[0], text, kMostChildBytes, time_limit_seconds);
    close(pipe_ends[0]);
    const bool timed_out = end.timed_out;
    const int status = end.status;
    const ChildText child_text = split_notes(text);
    const std::string& note = child_text.last_note;
    if (timed_out) return with_last_note(failed(limit_text(time_limit_seconds)), note);
    const std::optional<std::string> ending =
        child_ending(status, child_text.ending, !child_text.verdict.empty());
    if (ending) return with_last_note(failed(*ending), note);
    return verdict_from_text(child_text.verdict);
}

#else

namespace {

std::string exception_text(DWORD code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    const char* name = exception_name(code);
    return std::string("crashed: exception ") + hex +
           (name != nullptr ? std::string(" (") + name + ")" : "");
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

#endif

}  // namespace tmhost
