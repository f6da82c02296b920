#include "host/render/progress_bar.h"

#include <cstdio>

#include <io.h>

namespace tmhost {

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

}  // namespace tmhost
