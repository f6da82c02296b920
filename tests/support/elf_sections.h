// Where a named section of a 32-bit little-endian ELF file lies, read from its section headers:
// for tests that damage a module in one chosen place.
#ifndef TONEMIX_ELF_SECTIONS_H
#define TONEMIX_ELF_SECTIONS_H

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "temporary_folder.h"

namespace tonemix_test {

struct FileSection {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

inline std::uint32_t little_word(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

// None for a file that is not ELF32, or has no such section (or one without bytes in the file).
inline std::optional<FileSection> elf_section(const std::string& bytes, const std::string& name) {
    if (bytes.size() < 52 ||
        bytes.compare(0, 4,
                      "\x7f"
                      "ELF") != 0 ||
        bytes[4] != 1) {
        return std::nullopt;
    }
    const std::uint32_t table = little_word(bytes, 0x20, 4);
    const std::uint32_t entry_size = little_word(bytes, 0x2e, 2);
    const std::uint32_t count = little_word(bytes, 0x30, 2);
    const std::uint32_t names_index = little_word(bytes, 0x32, 2);
    if (entry_size < 40 || names_index >= count ||
        table + static_cast<std::uint64_t>(count) * entry_size > bytes.size()) {
        return std::nullopt;
    }
    const std::uint32_t names = little_word(bytes, table + names_index * entry_size + 16, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t header = table + static_cast<std::size_t>(i) * entry_size;
        const std::size_t name_at = names + little_word(bytes, header, 4);
        if (name_at >= bytes.size()) continue;
        const char* text = bytes.c_str() + name_at;
        if (name != std::string(text, strnlen(text, bytes.size() - name_at))) continue;
        const std::uint32_t type = little_word(bytes, header + 4, 4);
        const FileSection found{little_word(bytes, header + 16, 4),
                                little_word(bytes, header + 20, 4)};
        constexpr std::uint32_t kNoBits = 8;
        if (type == kNoBits || found.offset + static_cast<std::uint64_t>(found.size) > bytes.size())
            return std::nullopt;
        return found;
    }
    return std::nullopt;
}

// A copy of `module` in `folder` whose first relocation, one the loader is told is relative, is
// made another kind: glibc's loader stops the process on it ("Inconsistency detected by ld.so")
// rather than answer an error. Empty when the module's first relocation is not a relative one.
inline std::string module_with_a_wrong_relocation(const std::string& module,
                                                  const tmhost::TemporaryFolder& folder) {
    std::string bytes = tmhost::file_content(module);
    const auto relocations = elf_section(bytes, ".rel.dyn");
    if (!relocations || relocations->size < 8) return std::string();
    constexpr char kRelative = 8;
    constexpr char kAbsolute = 1;
    char& type = bytes[relocations->offset + 4];
    if (type != kRelative) return std::string();
    type = kAbsolute;
    return folder.write("WrongRelocation.cdl", bytes).string();
}

}  // namespace tonemix_test

#endif
