// How many connections fit in the process: each takes a file descriptor, and the usual soft
// limit (1024) is far below what the system allows.
#ifndef TMHOST_DESCRIPTOR_LIMIT_H
#define TMHOST_DESCRIPTOR_LIMIT_H

#include <cstddef>

namespace tmhost {

// Raises the soft limit of open files to the hard limit where the system has one (not Windows,
// whose sockets are handles without such a limit), and answers the limit now in force, or 0
// when there is none.
std::size_t raise_descriptor_limit();

// The most connections to accept under a descriptor limit (0: none): the rest is kept for the
// program's own files and for connections being refused.
std::size_t connections_within(std::size_t wanted, std::size_t descriptor_limit);

}  // namespace tmhost

#endif
