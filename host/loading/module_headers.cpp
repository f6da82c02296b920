#include "host/loading/module_headers.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tmhost {

namespace {

// The exact decimal sum of two 64-bit values, which a hostile 64-bit header can carry past 2^64.
std::string sum_text(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t low = a + b;
    if (low >= a) return std::to_string(low);
    std::string digits = std::to_string(low);
    std::string result;
    const std::string two_to_64 = "18446744073709551616";
    int carry = 0;
    for (std::size_t i = 0; i < two_to_64.size() || carry != 0; ++i) {
        int digit = carry;
        if (i < two_to_64.size()) digit += two_to_64[two_to_64.size() - 1 - i] - '0';
        if (i < digits.size()) digit += digits[digits.size() - 1 - i] - '0';
        result.push_back(static_cast<char>('0' + digit % 10));
        carry = digit / 10;
    }
    std::reverse(result.begin(), result.end());
    return result;
}

// Little-endian fields of a block read from the file; a field the block does not hold reads 0,
// which only happens for a part already found to lie beyond the end.
class Fields {
public:
    explicit Fields(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t at(std::size_t offset, int width) const {
        std::uint64_t value = 0;
        for (int i = width - 1; i >= 0; --i) {
            const std::size_t index = offset + static_cast<std::size_t>(i);
            const unsigned char byte =
                index < bytes_.size() ? static_cast<unsigned char>(bytes_[index]) : 0;
            value = (value << 8) | byte;
        }
        return value;
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

class HeaderCheck {
public:
    explicit HeaderCheck(const ModuleBytes& file) : file_(file) {}

    // "" when [offset, offset + length) lies within the file; `part` names it with its verb
    // ("segment 2 ends", "the program headers end").
    std::string beyond(const std::string& part, std::uint64_t offset, std::uint64_t length) const {
        if (offset <= file_.size && length <= file_.size - offset) return "";
        return "truncated (" + part + " at byte " + sum_text(offset, length) + ", the file has " +
               std::to_string(file_.size) + ")";
    }
    Fields read(std::uint64_t offset, std::size_t count) const {
        return Fields(file_.read(offset, count));
    }

private:
    const ModuleBytes& file_;
};

std::string numbered(const char* what, std::uint64_t index) {
    return std::string(what) + " " + std::to_string(index) + " ends";
}

// Where the fields the check reads lie in an ELF header and in its program headers.
struct ElfLayout {
    std::uint64_t header_size;
    int address;                          // width of an offset or a size
    std::size_t phoff, shoff, phentsize;  // the rest follow phentsize, two bytes each
    std::uint64_t program_entry, section_entry;
    std::size_t p_offset, p_filesz;
};
constexpr ElfLayout kElf32 = {52, 4, 28, 32, 42, 32, 40, 4, 16};
constexpr ElfLayout kElf64 = {64, 8, 32, 40, 54, 56, 64, 8, 32};
constexpr std::uint64_t kLoadableSegment = 1;        // PT_LOAD
constexpr std::uint64_t kCountedElsewhere = 0xffff;  // PN_XNUM

std::string elf_problem(const HeaderCheck& check) {
    const Fields ident = check.read(0, 16);
    if (ident.bytes().size() < 6) return check.beyond("the ELF header ends", 0, kElf32.header_size);
    const unsigned elf_class = static_cast<unsigned char>(ident.bytes()[4]);
    const unsigned byte_order = static_cast<unsigned char>(ident.bytes()[5]);
    if (elf_class != 1 && elf_class != 2) {
        return "an ELF file of unknown class " + std::to_string(elf_class);
    }
    if (byte_order == 2) return "a big-endian ELF file (modules are little-endian)";
    if (byte_order != 1) return "an ELF file of unknown byte order " + std::to_string(byte_order);
    const ElfLayout& layout = elf_class == 1 ? kElf32 : kElf64;
    std::string problem = check.beyond("the ELF header ends", 0, layout.header_size);
    if (!problem.empty()) return problem;

    const Fields header = check.read(0, static_cast<std::size_t>(layout.header_size));
    const std::uint64_t phoff = header.at(layout.phoff, layout.address);
    const std::uint64_t shoff = header.at(layout.shoff, layout.address);
    const std::uint64_t phentsize = header.at(layout.phentsize, 2);
    const std::uint64_t phnum = header.at(layout.phentsize + 2, 2);
    const std::uint64_t shentsize = header.at(layout.phentsize + 4, 2);
    std::uint64_t shnum = header.at(layout.phentsize + 6, 2);

    if (phnum == kCountedElsewhere) return "more program headers than an ELF header counts";
    if (phnum > 0 && phentsize < layout.program_entry) {
        return "a bad ELF header (program headers of " + std::to_string(phentsize) +
               " bytes, at least " + std::to_string(layout.program_entry) + " expected)";
    }
    problem = check.beyond("the program headers end", phoff, phnum * phentsize);
    if (!problem.empty()) return problem;
    for (std::uint64_t i = 0; i < phnum; ++i) {
        const Fields entry = check.read(phoff + i * phentsize, layout.program_entry);
        if (entry.at(0, 4) != kLoadableSegment) continue;
        problem = check.beyond(numbered("segment", i), entry.at(layout.p_offset, layout.address),
                               entry.at(layout.p_filesz, layout.address));
        if (!problem.empty()) return problem;
    }

    if (shoff == 0) return "";
    if (shentsize < layout.section_entry) {
        return "a bad ELF header (section headers of " + std::to_string(shentsize) +
               " bytes, at least " + std::to_string(layout.section_entry) + " expected)";
    }
    // With more sections than the header can count, the first section header holds the count;
    // the loader reads no section header, so the first is all that is checked then.
    if (shnum == 0) shnum = 1;
    return check.beyond("the section headers end", shoff, shnum * shentsize);
}

constexpr std::uint64_t kMsDosHeader = 64;
constexpr std::size_t kNewHeaderOffset = 0x3c;     // e_lfanew
constexpr std::uint64_t kPeHeader = 24;            // the signature and the COFF file header
constexpr std::uint64_t kOptionalHeaderRead = 64;  // through SizeOfHeaders, PE32 and PE32+ alike
constexpr std::uint64_t kSectionEntry = 40;
constexpr std::uint64_t kSymbolEntry = 18;

std::string pe_problem(const HeaderCheck& check) {
    std::string problem = check.beyond("the MS-DOS header ends", 0, kMsDosHeader);
    if (!problem.empty()) return problem;
    const std::uint64_t pe = check.read(kNewHeaderOffset, 4).at(0, 4);
    problem = check.beyond("the PE header ends", pe, kPeHeader);
    if (!problem.empty()) return problem;
    const Fields file_header = check.read(pe, kPeHeader);
    // An MS-DOS program without a PE header: not a module, and the system loader says so.
    if (file_header.bytes().compare(0, 4, std::string("PE\0\0", 4)) != 0) return "";
    const std::uint64_t sections = file_header.at(6, 2);
    const std::uint64_t symbols_at = file_header.at(12, 4);
    const std::uint64_t symbols = file_header.at(16, 4);
    const std::uint64_t optional_size = file_header.at(20, 2);

    const std::uint64_t optional = pe + kPeHeader;
    if (optional_size < kOptionalHeaderRead) {
        return "a bad PE header (an optional header of " + std::to_string(optional_size) +
               " bytes, at least " + std::to_string(kOptionalHeaderRead) + " expected)";
    }
    problem = check.beyond("the optional header ends", optional, optional_size);
    if (!problem.empty()) return problem;
    const Fields optional_header = check.read(optional, kOptionalHeaderRead);
    const std::uint64_t magic = optional_header.at(0, 2);
    if (magic != 0x10b && magic != 0x20b) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%03x", static_cast<unsigned>(magic));
        return std::string("a PE file of unknown kind (optional header magic ") + hex + ")";
    }
    const std::uint64_t table = optional + optional_size;
    problem = check.beyond("the section table ends", table, sections * kSectionEntry);
    if (!problem.empty()) return problem;
    problem = check.beyond("the headers end", 0, optional_header.at(60, 4));
    if (!problem.empty()) return problem;
    for (std::uint64_t i = 0; i < sections; ++i) {
        const Fields entry = check.read(table + i * kSectionEntry, kSectionEntry);
        const std::uint64_t raw_size = entry.at(16, 4);
        if (raw_size == 0) continue;
        problem = check.beyond(numbered("section", i), entry.at(20, 4), raw_size);
        if (!problem.empty()) return problem;
    }

    if (symbols_at == 0 || symbols == 0) return "";
    // The strings follow the symbols, led by their own length.
    const std::uint64_t strings = symbols_at + symbols * kSymbolEntry;
    problem = check.beyond("the symbol table ends", symbols_at, symbols * kSymbolEntry + 4);
    if (!problem.empty()) return problem;
    return check.beyond("the symbol names end", strings, check.read(strings, 4).at(0, 4));
}

}  // namespace

std::string module_header_problem(const ModuleBytes& file) {
    if (file.size == 0) return "truncated (the file is empty)";
    const std::string start = file.read(0, 4);
    // A file shorter than the magic number that begins like it is a cut module too.
    const auto begins = [&](const std::string& magic) {
        const std::size_t length = std::min(start.size(), magic.size());
        return start.compare(0, length, magic, 0, length) == 0;
    };
    const HeaderCheck check(file);
    if (begins(std::string("\x7f"
                           "ELF",
                           4)))
        return elf_problem(check);
    if (begins("MZ")) return pe_problem(check);
    return "";
}

std::string module_header_problem(const std::string& bytes) {
    ModuleBytes file;
    file.size = bytes.size();
    file.read = [&bytes](std::uint64_t offset, std::size_t count) {
        if (offset >= bytes.size()) return std::string();
        return bytes.substr(static_cast<std::size_t>(offset), count);
    };
    return module_header_problem(file);
}

std::string module_file_header_problem(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    std::ifstream stream(path, std::ios::binary);
    if (error || !stream) return "";
    ModuleBytes file;
    file.size = size;
    file.read = [&stream](std::uint64_t offset, std::size_t count) {
        std::string bytes(count, '\0');
        stream.clear();
        stream.seekg(static_cast<std::streamoff>(offset));
        stream.read(bytes.data(), static_cast<std::streamsize>(count));
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, stream.gcount())));
        return bytes;
    };
    return module_header_problem(file);
}

}  // namespace tmhost
