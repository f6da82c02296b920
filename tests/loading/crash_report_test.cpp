// What a crash report leaves to the rest of the process: once the module has started, a crash
// outside its code is not the module's and goes on to the handler that was there before (a
// sanitizer's report of a fault of the host's); the report's signal stack gives back the one the
// thread had; and the rule that tells a stack overflow from any other fault.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <ucontext.h>

#include "host/loading/crash_report.h"
#include "host/loading/signal_stack.h"

namespace {

const int kCrashSignals[] = {SIGSEGV, SIGILL, SIGBUS, SIGFPE};

volatile sig_atomic_t heard[NSIG];

void count_signal(int signal) { heard[signal] = heard[signal] + 1; }

// The test's own handler of the crash signals, as a sanitizer's would be, for as long as it lives.
class CountingHandlers {
public:
    CountingHandlers() {
        struct sigaction action {};
        action.sa_handler = count_signal;
        sigemptyset(&action.sa_mask);
        for (int signal : kCrashSignals) {
            heard[signal] = 0;
            sigaction(signal, &action, &before_[signal]);
        }
    }
    ~CountingHandlers() {
        for (int signal : kCrashSignals) sigaction(signal, &before_[signal], nullptr);
    }

private:
    struct sigaction before_[NSIG] {};
};

TEST(CrashReport, ACrashOutsideTheStartedModuleGoesOnToTheHandlerFromBefore) {
    void* module = dlopen(TONEMIX_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    const void* entry = dlsym(module, "c4d_main");
    ASSERT_NE(entry, nullptr);
    {
        const CountingHandlers handlers;
        {
            tmhost::CrashReport report(TONEMIX_MODULE_FILE);
            report.started(entry, "running");
            for (int signal : kCrashSignals) {
                SCOPED_TRACE(signal);
                // The test's own code raises it, far from the module's: the report hands it on
                // rather than end the process in the module's name.
                raise(signal);
                EXPECT_EQ(heard[signal], 0) << "the report's handler took the first one";
                raise(signal);
                EXPECT_EQ(heard[signal], 1) << "the handler from before takes the next one";
            }
        }
        // The report gone, the handlers it found are the process's again.
        for (int signal : kCrashSignals) {
            raise(signal);
            EXPECT_EQ(heard[signal], 2) << signal;
        }
    }
    dlclose(module);
}

// What the module did to each handled signal is said once, however often it did it, and the
// report's own handler is back after each phase.
TEST(CrashReport, EachHandlerTheModuleReplacedIsNamedOnceAndTakenBack) {
    struct sigaction own {};
    own.sa_handler = count_signal;
    sigemptyset(&own.sa_mask);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction before {};
    sigaction(SIGSEGV, nullptr, &before);
    {
        tmhost::CrashReport report(TONEMIX_MODULE_FILE);
        sigaction(SIGSEGV, &own, nullptr);
        sigaction(SIGILL, &ignore, nullptr);
        sigaction(SIGBUS, &own, nullptr);
        sigaction(SIGFPE, &own, nullptr);
        sigaction(SIGABRT, &ignore, nullptr);
        report.set_phase("shading");
        for (int signal : {SIGSEGV, SIGILL, SIGBUS, SIGFPE, SIGABRT}) {
            struct sigaction now {};
            sigaction(signal, nullptr, &now);
            EXPECT_NE(now.sa_flags & SA_SIGINFO, 0) << signal << " is the report's again";
        }
        sigaction(SIGSEGV, &own, nullptr);
        EXPECT_EQ(report.replaced_handlers(),
                  (std::vector<std::string>{
                      "the module set its own handler for SIGSEGV; the host put its own back",
                      "the module ignored SIGILL; the host put its handler back",
                      "the module set its own handler for SIGBUS; the host put its own back",
                      "the module set its own handler for SIGFPE; the host put its own back",
                      "the module ignored SIGABRT; the host put its handler back"}));
        EXPECT_EQ(report.replaced_handlers().size(), 5u) << "nothing more replaced since";
    }
    struct sigaction after {};
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "the process's own handler is back";
}

bool same_stack(const stack_t& a, const stack_t& b) {
    const bool off = (a.ss_flags & SS_DISABLE) != 0;
    if (off != ((b.ss_flags & SS_DISABLE) != 0)) return false;
    return off || (a.ss_sp == b.ss_sp && a.ss_size == b.ss_size);
}

stack_t current_stack() {
    stack_t now{};
    EXPECT_EQ(sigaltstack(nullptr, &now), 0);
    return now;
}

// A render thread's signal stack made while its report's lives, or the other way round: each
// gives back the very stack it found, not none.
TEST(SignalStack, EachGivesBackTheStackItFound) {
    const stack_t before = current_stack();
    {
        const tmhost::SignalStack outer;
        const stack_t first = current_stack();
        EXPECT_EQ(first.ss_flags & SS_DISABLE, 0);
        EXPECT_GE(first.ss_size, 64u * 1024u);
        EXPECT_FALSE(same_stack(first, before));
        {
            const tmhost::SignalStack inner;
            const stack_t second = current_stack();
            EXPECT_EQ(second.ss_flags & SS_DISABLE, 0);
            EXPECT_FALSE(same_stack(second, first));
        }
        EXPECT_TRUE(same_stack(current_stack(), first));
    }
    EXPECT_TRUE(same_stack(current_stack(), before));
}

// A fault a frame below the stack pointer, or a call's push just above it, is the stack's end;
// anything farther is some other fault, and a context without a pointer tells nothing.
TEST(SignalStack, AnOverflowIsAFaultJustBeyondTheStackPointer) {
    ucontext_t context{};
    constexpr std::uintptr_t kPointer = 0x40000000;
#if defined(__i386__)
    context.uc_mcontext.gregs[REG_ESP] = static_cast<greg_t>(kPointer);
#elif defined(__x86_64__)
    context.uc_mcontext.gregs[REG_RSP] = static_cast<greg_t>(kPointer);
#else
    GTEST_SKIP() << "the stack pointer is read on x86 only";
#endif
    const auto at = [&](std::uintptr_t address) {
        return tmhost::is_stack_overflow(reinterpret_cast<const void*>(address), &context);
    };
    EXPECT_TRUE(at(kPointer));
    EXPECT_TRUE(at(kPointer - 4));
    EXPECT_TRUE(at(kPointer + 4096));
    EXPECT_FALSE(at(kPointer + 4097));
    EXPECT_TRUE(at(kPointer - 256 * 1024));
    EXPECT_FALSE(at(kPointer - 256 * 1024 - 1));
    EXPECT_FALSE(at(0x1000));
    EXPECT_FALSE(at(0));

    ucontext_t no_pointer{};
    EXPECT_FALSE(tmhost::is_stack_overflow(reinterpret_cast<const void*>(kPointer), &no_pointer));
    EXPECT_FALSE(tmhost::is_stack_overflow(nullptr, &no_pointer));
}

}  // namespace
