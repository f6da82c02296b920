// What a module left in the host: the answer to "did it end everything it started?".
#ifndef TMHOST_LEFT_BEHIND_H
#define TMHOST_LEFT_BEHIND_H

#include <cstdint>
#include <string>
#include <vector>

namespace tmhost {

struct LeftBehind {
    std::vector<std::string> strings;           // texts of strings never ended
    std::vector<std::string> file_names;        // names started in module storage, never ended
    std::vector<std::string> file_name_blocks;  // host blocks never given back
    std::vector<std::string> allocations;       // "tag:line, N bytes"
    std::vector<int32_t> resources;             // handles never freed
    std::vector<std::string> list_handles;      // light list handles never freed: "2 scene objects"
    std::vector<std::string> misuses;
    std::vector<std::string> process;  // what it changed in the process, each a line of its own

    bool empty() const;
    // One line per item, each naming its kind; no pointers, so both platforms print the same.
    std::vector<std::string> lines() const;
};

}  // namespace tmhost

#endif
