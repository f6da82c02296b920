// The descriptor calls read_input_file (input_file.h) makes, as each system names them
// (input_descriptor_posix.cpp, input_descriptor_windows.cpp).
#ifndef TMHOST_INPUT_DESCRIPTOR_H
#define TMHOST_INPUT_DESCRIPTOR_H

#include <cstddef>
#include <string>

namespace tmhost::input {

// The file opened for reading without waiting for a writer, or -1 with errno set; throws
// SceneError "<path>: cannot read: <kind>, not a file" where the system's error would say less.
int open_for_reading(const std::string& path);

// What an open file is: its size in 64 bits (a file past 2 GiB is measured, not an error of its
// own), and "" for a regular file or what it is instead ("a folder, not a file").
struct Status {
    long long size = 0;
    std::string not_a_file;
};
// 0, or -1 with errno set.
int status_of(int descriptor, Status& status);

// Up to `size` bytes: their count, 0 at the end, -1 with errno set.
int read_some(int descriptor, char* buffer, std::size_t size);
void close_file(int descriptor);

}  // namespace tmhost::input

#endif
