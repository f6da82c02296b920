#include "host/render/progress_bar.h"

#include <cstdio>

#include <unistd.h>

namespace tmhost {

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

}  // namespace tmhost
