// A compute_output that writes through a null pointer, for the faults that crash at the first
// point shaded, from whichever render thread asks first.
#ifndef TONEMIX_FAULTY_CRASHING_OUTPUT_H
#define TONEMIX_FAULTY_CRASHING_OUTPUT_H

#include "host_api.h"

float* TM_THISCALL compute_output_crashing(void*, float*, int32_t, ShadingInput*);

#endif
