// How a group's child process ended, in the words of a verdict: an exit of any code before the
// verdict was given (0 included: the module ended the process, not the group), an abort, an
// exception no one caught, a stack overflow or another signal. Linux only: a Windows child hands
// its verdict back through a file and its end is an exit code.
#ifndef TMHOST_CHILD_ENDINGS_H
#define TMHOST_CHILD_ENDINGS_H

#include <optional>
#include <string>

namespace tmhost {

// What a child tells its parent before it ends, on its own line: "ending exception".
constexpr const char* kEndingNote = "ending ";

// In the child, before the group runs: an uncaught exception and a stack overflow of the thread
// that runs the group are told on `pipe` (kEndingNote and the kind) before the child ends as it
// would have. Does nothing on Windows.
void watch_child_endings(int pipe);

// The failure for a child that ended with `status` (as waitpid gives it) after telling `told`
// (the kind after kEndingNote, or ""), or nothing when it exited 0 having given `verdict_given`.
std::optional<std::string> child_ending(int status, const std::string& told, bool verdict_given);

// The failure for a Windows child that exited with `code` (no exception code) and gave no
// verdict, or one that gave none; an exit code is printed as the signed number the module passed.
std::string exit_failure(long code);

}  // namespace tmhost

#endif
