// The few descriptor calls that catch a process's standard output in a file, as each system
// names them.
#ifndef TMHOST_OUTPUT_DESCRIPTORS_H
#define TMHOST_OUTPUT_DESCRIPTORS_H

namespace tmhost {

// A new descriptor for the same file (on Linux, closed on exec and above 2), or -1.
int duplicate(int descriptor);
// `from` made descriptor `onto` too; -1 on failure.
int duplicate_onto(int from, int onto);
int close_descriptor(int descriptor);
// The size of the file behind the descriptor, or -1.
long descriptor_size(int descriptor);

}  // namespace tmhost

#endif
