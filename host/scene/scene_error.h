// The one error of scene loading: a single line that says where (file, line and column, or the
// path of the offending field) and what is wrong, ready to print as it is.
#ifndef TMHOST_SCENE_ERROR_H
#define TMHOST_SCENE_ERROR_H

#include <stdexcept>

namespace tmhost {

class SceneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tmhost

#endif
