// Fault points: the places where a deliberately faulty build of the module departs from the real
// one. Faulty builds exist only for the validator's own tests, which need a module with one known
// fault to prove that each of its checks catches that fault. A faulty build defines
// TONEMIX_FAULTY_MODULE to one fault's number below (cmake/faulty_modules.cmake); the real module
// defines nothing, so there every TONEMIX_FAULT(name) is a constant 0 and the code is exactly the
// code without fault points.
//
// TONEMIX_FAULT(name) is an integer constant expression, for #if and for C++ alike. A name that is
// not listed here fails to compile in C++; in #if it would silently leave the fault off, which
// tests/faulty_modules_test.cpp, checking each faulty build shows its fault, would see.
//
// The real module is to stay byte for byte what it was, debug information included, so no fault
// point may move a line of its code: a point is a condition added at the end of a line's test, or
// #if, #else and #endif lines in place of blank lines, with the faulty variant of a function after
// everything else in its file (or of a member at the end of its class).
#ifndef TONEMIX_FAULT_POINTS_H
#define TONEMIX_FAULT_POINTS_H

// A string made for the shader's registration is not ended when the host refuses the
// registration.
#define TONEMIX_FAULT_string_never_freed 1
// compute_output reads the render context without looking whether there is one.
#define TONEMIX_FAULT_null_context_dereferenced 2
// release_render leaves the render's light list built.
#define TONEMIX_FAULT_list_handle_never_released 3
// The light loop trusts the host's light count, so INT32_MIN asks for lights beyond it.
#define TONEMIX_FAULT_overflowing_light_loop 4
// The node's random stream is advanced with a plain load and store, without its swap.
#define TONEMIX_FAULT_stream_shared_without_care 5
// release_render's dispatch entry pops two words instead of one.
#define TONEMIX_FAULT_thiscall_pops_wrong 6

#if !defined(TONEMIX_FAULTY_MODULE)
#define TONEMIX_FAULTY_MODULE (-1)
#elif TONEMIX_FAULTY_MODULE <= 0
#error "TONEMIX_FAULTY_MODULE names no fault of fault_points.h"
#endif

#define TONEMIX_FAULT(name) (TONEMIX_FAULTY_MODULE == TONEMIX_FAULT_##name)

#endif
