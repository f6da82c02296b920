// The secret a server can ask of every request, so that only the page whose address the user
// opened (it carries the token) drives the server, not another page or program that finds its port.
#ifndef TMHOST_HTTP_TOKEN_H
#define TMHOST_HTTP_TOKEN_H

#include <string>
#include <string_view>

namespace tmhost {

// 32 lowercase hex digits (128 bits) from the system's random source: BCryptGenRandom on
// Windows, std::random_device (the kernel's source) elsewhere. Throws HttpError when the system
// gives no randomness.
std::string random_token();

// Whether `given` is `expected`, in a time that depends on their lengths alone, so that timing
// answers tells nothing of how much of a guess was right.
bool same_token(std::string_view given, std::string_view expected);

}  // namespace tmhost

#endif
