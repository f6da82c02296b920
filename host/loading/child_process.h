// A child process made with fork for work that may not come back (loading a module file, a
// validation group), in a process group of its own, so that whatever it starts in turn can be
// ended with it.
//
// The parent waits for the child's end, not for the end of its pipe: a process the module forks
// inherits the pipe's writing end and may hold it open for ever. Once the child has ended (or the
// time is up and it was killed), the rest of its group is killed too.
//
// Linux only (child_process_posix.cpp); on Windows a child is a program started again (validate)
// or not made at all.
#ifndef TMHOST_CHILD_PROCESS_H
#define TMHOST_CHILD_PROCESS_H

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace tmhost {

// In the child, first thing after fork: its own process group, and its end when the parent ends
// (a Ctrl-C reaches only the parent's group).
void enter_own_group();
// In the parent, right after fork: the same group, whichever of the two runs first.
void give_own_group(pid_t child);

struct ChildEnd {
    bool timed_out = false;  // killed when the time was up
    // waitpid failed (wait_error is its errno): the child was reaped by someone else, or the system
    // reaps children unasked (SIGCHLD ignored). How it ended is not known, which is no clean end.
    bool lost = false;
    int wait_error = 0;
    int status = 0;  // as waitpid gives it, when neither timed out nor lost
};

// Reads what the child writes on `from` (up to most_bytes, the rest read and dropped) until the
// child ends, then what is left in the pipe; kills the child's whole group at the end, or when
// `seconds` have passed. The group is killed before the pipe's rest is read: what the child left
// there is bounded, what a process it started may still write is not.
ChildEnd wait_for_child(pid_t child, int from, std::string& text, std::size_t most_bytes,
                        double seconds);

// The inherited action of SIGCHLD set to the default, which waitpid needs: a parent that ignores
// it has its children reaped by the system, and their end is lost.
void wait_for_children_by_default();

}  // namespace tmhost

#endif
