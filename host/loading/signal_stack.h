// A stack of its own for the crash handler of one thread. A thread that overflows its stack has
// none left for a handler, and the system ends the process without a word; with a signal stack the
// crash report still writes its line. Each thread that may run module code makes one for as long
// as it runs it: the thread that loads the module (CrashReport makes it) and each render thread.
//
// Nothing on Windows, where a stack overflow is an exception the unhandled-exception filter sees
// with the guard page's room left.
#ifndef TMHOST_SIGNAL_STACK_H
#define TMHOST_SIGNAL_STACK_H

namespace tmhost {

class SignalStack {
public:
    SignalStack();
    ~SignalStack();
    SignalStack(const SignalStack&) = delete;
    SignalStack& operator=(const SignalStack&) = delete;

private:
    void* memory_ = nullptr;
    bool replaced_ = false;
    // The stack the thread had before (a sanitizer's), given back at the end.
    alignas(8) unsigned char earlier_[16] = {};
};

// Whether a segmentation fault at `fault_address` with the stack pointer of `context` (a
// ucontext_t, as a SA_SIGINFO handler gets it) is the thread running out of stack: the address
// lies just beyond the stack pointer. Async-signal-safe; false on Windows.
bool is_stack_overflow(const void* fault_address, const void* context);

}  // namespace tmhost

#endif
