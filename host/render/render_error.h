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

}  // namespace tmhost

#endif
