// Host text as it appears in reports: one line, quoted, control bytes escaped.
#ifndef TMHOST_TEXT_FORMAT_H
#define TMHOST_TEXT_FORMAT_H

#include <string>

namespace tmhost {

// "text" with quotes, backslashes and bytes below 0x20 escaped, as one_line() escapes the rest.
std::string quoted(const std::string& text);

// The text with bytes below 0x20 and 0x7f escaped ("\n", "\x1b"), bytes that are no UTF-8 as
// "\xff", and the C1 and bidirectional controls as "\u202e", so that a name or a value echoed
// from a file or a command line can neither split a message, nor reach the terminal as a control
// sequence, nor read in another order than it is written. Well-formed UTF-8 passes.
std::string one_line(const std::string& text);

// A real as the reports print it: shortest form that reads back the same float.
std::string real_text(float value);

}  // namespace tmhost

#endif
