// The host console: what the module prints through general_print, one line per call.
#ifndef TMHOST_CONSOLE_H
#define TMHOST_CONSOLE_H

#include <string>
#include <utility>
#include <vector>

namespace tmhost {

class Console {
public:
    // Kept, not echoed: tonemix-host prints the console after the module is gone, in one place,
    // so the order of its output does not depend on stdout buffering.
    void print(std::string line) { lines_.push_back(std::move(line)); }
    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
};

}  // namespace tmhost

#endif
