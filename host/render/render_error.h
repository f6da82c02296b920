// The one error of the render and describe commands: a single line, ready to print as it is,
// that says what is wrong with the command line, the scene or the module.
#ifndef TMHOST_RENDER_ERROR_H
#define TMHOST_RENDER_ERROR_H

#include <stdexcept>

namespace tmhost {

class RenderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The work was done but its result was lost on the way out (a FIFO whose reader went away, a
// device that is full): not a fault of the command line, so the command ends with EXIT_FAULT.
class OutputLost : public RenderError {
public:
    using RenderError::RenderError;
};

}  // namespace tmhost

#endif
