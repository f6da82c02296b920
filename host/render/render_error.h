// The error of the render layer: a value of the request that a render cannot take (an image size,
// a parameter's value, a light the scene does not have, a view beyond the scene's coordinates),
// in a single line ready to print as it is. The commands count it as a usage error.
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
