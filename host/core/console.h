// The host console: what the module prints through general_print, one line per call.
#ifndef TMHOST_CONSOLE_H
#define TMHOST_CONSOLE_H

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tmhost {

class Console {
public:
    void print(std::string line) {
        if (echo_) std::printf("console: %s\n", line.c_str());
        lines_.push_back(std::move(line));
    }
    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }
    // Echo is off by default: tonemix-host prints the console after the module is gone, in one
    // place, so the order of its output does not depend on stdout buffering.
    void set_echo(bool echo) { echo_ = echo; }

private:
    std::vector<std::string> lines_;
    bool echo_ = false;
};

}  // namespace tmhost

#endif
