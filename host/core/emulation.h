// Whether this program runs on a processor emulator rather than on the processor itself.
//
// The 32-bit builds run on 64-bit x86 machines. A machine whose kernel runs no 32-bit code runs
// them through qemu-user instead, which is slower, keeps one more mapping, has no ptrace (so no
// leak checker can stop the world) and grows short of address space with many threads under the
// sanitizer. What depends on those asks here and says what it left out.
#ifndef TMHOST_EMULATION_H
#define TMHOST_EMULATION_H

namespace tmhost {

// True when the program runs under qemu-user. Safe to call before main and from any thread; the
// answer is the same for the life of the process.
bool running_under_emulation();

}  // namespace tmhost

#endif
