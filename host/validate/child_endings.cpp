#include "host/validate/child_endings.h"

namespace tmhost {

std::string exit_failure(long code) {
    return "the module ended the process (exit " + std::to_string(code) + ")";
}

}  // namespace tmhost
