#include "crashing_output.h"

__attribute__((no_sanitize("undefined"))) float* TM_THISCALL
compute_output_crashing(void*, float*, int32_t, ShadingInput*) {
    volatile float* volatile nowhere = nullptr;
    *nowhere = 1.0f;
    return nullptr;
}
