// A size of a file as messages give it: "64 MiB" when it is a whole number of MiB, else
// "1000 bytes". One form for every limit a file is held to, read or written.
#ifndef TMHOST_SIZE_TEXT_H
#define TMHOST_SIZE_TEXT_H

#include <cstddef>
#include <string>

namespace tmhost {

std::string size_text(std::size_t bytes);

}  // namespace tmhost

#endif
