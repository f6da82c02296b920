// A module file's own headers checked against the file's length before the system loader sees
// it. The loader maps every segment the headers name, and a segment that lies past the end of a
// cut file is mapped all the same: touching it kills the process with a bus error. The fields are
// read by hand at fixed offsets, little-endian, so that the Linux and the Windows builds check
// ELF (32- and 64-bit) and PE (PE32 and PE32+) files alike and refuse them in the same words.
#ifndef TMHOST_MODULE_HEADERS_H
#define TMHOST_MODULE_HEADERS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tmhost {

// A file as the check reads it: its length, and up to `count` bytes from `offset` (fewer where
// the file ends).
struct ModuleBytes {
    std::uint64_t size = 0;
    std::function<std::string(std::uint64_t offset, std::size_t count)> read;
};

// "" when everything the headers place lies within the file, and for a file that is neither ELF
// nor PE (the system loader judges those). Otherwise what is wrong, in words that follow
// "not a loadable module: FILE: ", e.g. "truncated (segment 2 ends at byte 41234, the file has
// 20000)". ELF: the ELF header, the program headers, every loadable segment and the section
// headers. PE: the MS-DOS, PE and optional headers, the section table, the headers' stated size,
// every section's raw data and the symbol table with its strings.
std::string module_header_problem(const ModuleBytes& file);

// The same for a whole file held in memory.
std::string module_header_problem(const std::string& bytes);

// The same for a file on disk; "" when it cannot be opened, which the system loader reports.
std::string module_file_header_problem(const std::string& path);

}  // namespace tmhost

#endif
