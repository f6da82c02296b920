// Random bytes from the system's own source, for secrets (the server's token).
#ifndef TMHOST_RANDOM_BYTES_H
#define TMHOST_RANDOM_BYTES_H

#include <cstddef>

namespace tmhost {

// `count` bytes into `bytes`; throws HttpError when the system gives none.
void fill_random(unsigned char* bytes, std::size_t count);

}  // namespace tmhost

#endif
