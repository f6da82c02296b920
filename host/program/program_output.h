// tonemix-host's output: the same bytes on Linux and on Windows (under wine), so that scripts can
// compare the two runs line by line.
#ifndef TMHOST_PROGRAM_OUTPUT_H
#define TMHOST_PROGRAM_OUTPUT_H

#include <cstdio>
#include <string>

namespace tmhost {

// Windows: stdout and stderr in binary mode, so that a line ends in LF alone as it does on Linux.
void prepare_program_output();
// The module shares the process's descriptors, and what it prints on descriptor 1 must not go
// into the program's results (an image on `-o -`): from here on the program writes its standard
// output through a descriptor of its own, and descriptor 1 leads to stderr, where the module's
// text reaches the user as text.
void keep_standard_output_from_modules();
// Where the program's standard output goes now (for a check of whether it is a terminal).
std::FILE* program_stdout();
// One line on stdout.
void out_line(const std::string& line);
// A result's bytes on stdout as they are (an image).
void out_bytes(const std::string& bytes);
// Flushes stdout. Empty when everything written to it reached the system; else why not ("No space
// left on device", "Bad file descriptor"): a result written to a full disk or a closed stream is
// lost, and the program must say so rather than end as if it had been delivered.
std::string finish_standard_output();
// "tonemix-host: message" on stderr.
void error_line(const std::string& message);
// The line on stderr as it is: a report that would go to stdout, had stdout not taken an image.
void note_line(const std::string& line);

}  // namespace tmhost

#endif
