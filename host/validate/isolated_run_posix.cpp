#include "host/validate/isolated_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include <unistd.h>

#include "host/loading/child_process.h"
#include "host/loading/coverage_counts.h"
#include "host/loading/module_endings.h"
#include "host/validate/child_endings.h"
#include "host/validate/isolated_run_shared.h"

namespace tmhost {

using namespace isolation;

namespace {

// The child's end of the pipe to its parent, for the sinks its groups reach from inside the
// module's calls.
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

bool isolates_load_crashes() { return true; }

void run_for_parent(const ValidationGroup& group, const ValidationSettings& settings,
                    const std::string& verdict_file) {
    give_verdicts_to_file(verdict_file);
    write_parent_file(run_in_process(group, settings));
}

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
        send_child_output(write_to_parent, note_to_parent);
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
    if (end.lost) {
        return with_last_note(failed("the host could not learn how the group's child process"
                                     " ended (waitpid: " +
                                     std::string(strerror(end.wait_error)) + ")"),
                              note);
    }
    const std::optional<std::string> ending =
        child_ending(status, child_text.ending, !child_text.verdict.empty());
    if (ending) return with_last_note(failed(*ending), note);
    return verdict_from_text(child_text.verdict);
}

}  // namespace tmhost
