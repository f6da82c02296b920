#include "host/core/emulation.h"

namespace tmhost {

// The Windows build runs under wine, which has no way onto such a machine.
bool running_under_emulation() { return false; }

}  // namespace tmhost
