// What the shared half of isolated_run (isolated_run.cpp) and each system's half
// (isolated_run_posix.cpp, isolated_run_windows.cpp) use of one another.
#ifndef TMHOST_ISOLATED_RUN_SHARED_H
#define TMHOST_ISOLATED_RUN_SHARED_H

#include <string>

#include "host/validate/validation.h"

namespace tmhost::isolation {

// Line ends made spaces: a verdict's fields are one line each.
std::string one_line(std::string text);
GroupVerdict failed(std::string why);
std::string limit_text(int seconds);
// The first failure ends with " during NOTE", the case the child was at.
GroupVerdict with_last_note(GroupVerdict verdict, const std::string& note);

// In a child process: where a verdict given early and the progress notes go from now on.
void send_child_output(void (*verdict)(const GroupVerdict&), void (*note)(const std::string&));

// In a child started for one group: its verdict goes to `verdict_file` (write_parent_file), the
// one given early too.
void give_verdicts_to_file(const std::string& verdict_file);
// Writes the verdict to the file given_verdicts_to_file named and ends the process.
[[noreturn]] void write_parent_file(const GroupVerdict& verdict);

}  // namespace tmhost::isolation

#endif
