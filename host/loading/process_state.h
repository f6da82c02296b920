// What a module shares with the process that loads it and must leave as it found it: the umask,
// the working folder, the actions of the signals, and the process's threads and children.
//
// A ProcessWatch is made before the module is loaded. After each call into the module, restore()
// sets the umask and the working folder back, so that the files the host writes get the user's
// mode and land where the user meant; after the end message, threads_left() tells whether a
// thread the module started still runs (its code must then stay mapped); before the unload,
// restore_signal_actions() sets back the signal actions it changed, so that no signal finds a
// handler of the module's once its code is gone; after the unload, after_unload() ends and reaps
// the children the module left and sets back what its unload changed. Each thing found is one
// line, said once.
#ifndef TMHOST_PROCESS_STATE_H
#define TMHOST_PROCESS_STATE_H

#include <set>
#include <string>
#include <vector>

namespace tmhost {

// The process's threads and children, each by its system id.
std::set<long> running_threads();
// Called on a thread of the host's own that may outlive a module's session (a watchdog): it is
// not counted as the module's.
void count_as_host_thread();
std::set<long> child_processes();

class ProcessWatch {
public:
    ProcessWatch();
    ~ProcessWatch();
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    // Sets back the umask and the working folder; a line for each the module changed.
    std::vector<std::string> restore();
    // Threads started since the watch was made that still run, after a short wait for those
    // already on their way out.
    std::size_t threads_left() const;
    // The signal actions the module replaced, set back, but for those of `left_alone` (the crash
    // report's, which it takes back itself); a line for each.
    std::vector<std::string> restore_signal_actions(const std::vector<int>& left_alone = {});
    // The children made since the watch, ended (when still running) and reaped; the signal actions
    // the module replaced, set back, but for those of `left_alone` (a kept module's crash
    // report's); a line for each.
    std::vector<std::string> after_unload(const std::vector<int>& left_alone = {});

private:
    unsigned umask_ = 0;
    std::string folder_;
    int folder_descriptor_ = -1;
    std::set<long> threads_;
    std::set<long> children_;
    std::vector<unsigned char> actions_;  // the system's records of the signal actions, as bytes
};

// "1 thread" / "2 threads".
std::string counted(std::size_t count, const char* one, const char* many);

}  // namespace tmhost

#endif
