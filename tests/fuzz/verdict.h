// How every hostile case must end: exit 0, 1 or 2, no control byte in any line, and
//   exit 2: exactly one error line, and nothing on stdout (no line, no image);
//   exit 1: at most one error line (a result that was lost on its way out);
//   exit 0: no error line.
#ifndef TONEMIX_FUZZ_VERDICT_H
#define TONEMIX_FUZZ_VERDICT_H

#include <cstddef>
#include <string>

#include "host/commands/command.h"

namespace tonemix_fuzz {

// Empty when the case ended as it must; otherwise what was wrong.
inline std::string verdict(const tmhost::CommandOutput& output) {
    if (output.status < 0 || output.status > 2) {
        return "exit " + std::to_string(output.status);
    }
    std::size_t errors = 0;
    std::size_t outs = 0;
    for (const tmhost::OutputLine& line : output.lines) {
        if (line.channel == tmhost::Channel::error) ++errors;
        if (line.channel == tmhost::Channel::out) ++outs;
        for (unsigned char c : line.text) {
            if (c < 0x20 || c == 0x7f) return "a control byte in: " + line.text;
        }
    }
    if (output.status == 2 && (errors != 1 || outs != 0 || !output.standard_output_bytes.empty())) {
        return "exit 2 with " + std::to_string(errors) + " error lines and " +
               std::to_string(outs) + " result lines" +
               (output.standard_output_bytes.empty() ? "" : " and an image on stdout");
    }
    if (output.status == 1 && errors > 1) {
        return "exit 1 with " + std::to_string(errors) + " error lines";
    }
    if (output.status == 0 && errors != 0) return "an error line with exit 0";
    return std::string();
}

}  // namespace tonemix_fuzz

#endif
