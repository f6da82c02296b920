// What the shared half of process_state (process_state.cpp) and each system's half
// (process_state_posix.cpp, process_state_windows.cpp) use of one another.
#ifndef TMHOST_PROCESS_STATE_SHARED_H
#define TMHOST_PROCESS_STATE_SHARED_H

#include <set>
#include <string>

namespace tmhost::process {

// "0022".
std::string octal(unsigned mode);
// The working folder's name, or a phrase saying it cannot be read.
std::string current_folder();
// The ids in `now` that are not in `before`.
std::set<long> added(const std::set<long>& now, const std::set<long>& before);

// The system's half: the working folder's name as the C library allocates it (freed by the
// caller), or null; the calling thread's id as running_threads() names it.
char* working_folder();
long this_thread_id();

}  // namespace tmhost::process

#endif
