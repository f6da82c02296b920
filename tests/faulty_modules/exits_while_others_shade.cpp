// compute_output calls exit(0) on the first render thread to shade, while every other thread
// keeps shading with a global of the module's whose destructor takes it away: the exit must be
// told before the module's destructors run, or the others shade with what is gone (here they trap,
// as a use of freed memory would crash at random).
#include <atomic>
#include <cstdlib>

#include <unistd.h>

#include "changed_record.h"

namespace {

struct Shared {
    std::atomic<bool> gone{false};
    // Long enough for a thread that shades on to meet what is gone before the process ends.
    ~Shared() {
        gone = true;
        usleep(300 * 1000);
    }
};

Shared shared;
std::atomic<int> first{0};

float* TM_THISCALL compute_output_exiting(void*, float*, int32_t, ShadingInput*) {
    if (first.fetch_add(1) == 0) std::exit(0);
    for (;;) {
        if (shared.gone) __builtin_trap();
    }
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    record.compute_output = compute_output_exiting;
}
