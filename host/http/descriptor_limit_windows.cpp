#include "host/http/descriptor_limit.h"

namespace tmhost {

std::size_t raise_descriptor_limit() { return 0; }

}  // namespace tmhost
