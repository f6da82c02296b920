// What the shared half of whole_file (whole_file.cpp) asks of each system's half
// (whole_file_posix.cpp, whole_file_windows.cpp).
#ifndef TMHOST_WHOLE_FILE_SHARED_H
#define TMHOST_WHOLE_FILE_SHARED_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace tmhost::files {

std::uint64_t process_number();
// A new file `name`, made here and now (never one that exists), opened for writing: its
// descriptor, or -1 with errno set.
int create_new(const std::string& name);
// The stream for a descriptor create_new gave, ready for the bytes that replace `target`; null
// (the descriptor closed) when none can be made.
std::FILE* new_file_stream(int descriptor, const std::string& target);
// Data on the disk, after the stream's own buffer is flushed.
bool commit_to_disk(std::FILE* file);
// `from` renamed over `to`, which may exist; errno set on failure.
bool move_over(const std::string& from, const std::string& to);
// Whether the system names `target` a stream before the file system's status is asked.
bool is_system_stream(const std::string& target);
// An existing stream target opened for writing, or null with errno set; throws FileError for
// `path` when the name no longer means a stream.
std::FILE* open_stream(const std::string& path, const std::string& target);
// Whether a stream target takes writes as far as the system says before a write; errno set.
bool stream_writable(const std::string& target);
// Standard input read as bytes, with no translation of line ends.
void binary_standard_input();

}  // namespace tmhost::files

#endif
