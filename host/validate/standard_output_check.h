// A module shares the host's descriptors, and what it prints on descriptor 1 lands in the host's
// own output: a host that writes an image to its standard output gets a broken one. The check
// runs one life of the module, from load to unload, with descriptor 1 caught in a file of its
// own, and fails when anything arrived there.
#ifndef TMHOST_STANDARD_OUTPUT_CHECK_H
#define TMHOST_STANDARD_OUTPUT_CHECK_H

#include <string>

#include "host/validate/group_support.h"

namespace tmhost {

// Descriptor 1 (and the stdout stream) led into a temporary file for as long as it lives, then
// given back as it was.
class StandardOutputCatch {
public:
    StandardOutputCatch();
    ~StandardOutputCatch();
    StandardOutputCatch(const StandardOutputCatch&) = delete;
    StandardOutputCatch& operator=(const StandardOutputCatch&) = delete;

    // The bytes written to descriptor 1 so far, the stdout stream's buffer flushed first; -1
    // when nothing could be caught.
    long bytes() const;

private:
    int saved_ = -1;
    int caught_ = -1;
};

// One life of the module with descriptor 1 caught: "the module wrote 24 bytes to standard
// output" as a failure when it wrote any.
void check_standard_output(const ValidationSettings& settings, Findings& findings);

}  // namespace tmhost

#endif
