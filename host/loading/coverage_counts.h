// gcov writes a program's counts from exit's hooks; the host's children (a trial load, a
// validation group) and its ends after a module's fault leave by _exit or the system call, past
// those hooks. In the coverage build they write the counts first, so that what runs in them is
// counted; in every other build this is nothing.
#ifndef TMHOST_COVERAGE_COUNTS_H
#define TMHOST_COVERAGE_COUNTS_H

#ifdef TONEMIX_COVERAGE
extern "C" void __gcov_dump(void);
#endif

namespace tmhost {

// Not async-signal-safe in the coverage build (gcov writes files): call it where the process ends
// of its own accord, not from a crash handler.
inline void write_coverage_counts() {
#ifdef TONEMIX_COVERAGE
    __gcov_dump();
#endif
}

}  // namespace tmhost

#endif
