// The sanitizer runtime's defaults for every program of the sanitizer build. Linked into each
// executable, since the runtime looks the hook up in the program itself.
//
// Under emulation the leak checker cannot stop the world (the emulator offers no ptrace), and a
// program would hang at exit waiting for it: there, leaks go unchecked. ASAN_OPTIONS still
// overrides whatever this answers.
// Beside this file: the program may link no layer that offers host/core/ headers.
#include "emulation.h"

extern "C" __attribute__((no_sanitize("address", "undefined"))) const char*
__asan_default_options() {
    return tmhost::running_under_emulation() ? "detect_leaks=0" : "";
}
