#include "host/http/random_bytes.h"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include "host/http/http_error.h"

namespace tmhost {

void fill_random(unsigned char* bytes, std::size_t count) {
    const NTSTATUS status =
        BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) throw HttpError("no random numbers for a token (BCryptGenRandom failed)");
}

}  // namespace tmhost
