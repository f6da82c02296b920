// Module files cut short: refused in one line by their own headers before the system loader maps
// what is missing (which ends the process with a bus error). The built module cut to several
// lengths, and hand-built ELF and PE headers, so that the Windows build's path is covered here.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/loading/module_file.h"
#include "host/loading/module_headers.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <elf.h>
#include <sys/wait.h>
#endif

namespace {

using tmhost::module_header_problem;

constexpr std::uint32_t kLoad = 1;  // PT_LOAD
constexpr std::uint32_t kNote = 4;  // PT_NOTE

// Little-endian `value` of `width` bytes at `offset`, the string growing to hold it.
void put(std::string& bytes, std::size_t offset, std::uint64_t value, int width) {
    if (bytes.size() < offset + width) bytes.resize(offset + width, '\0');
    for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// A 32-bit little-endian ELF header with `count` program headers right behind it.
std::string elf32(std::uint64_t count) {
    std::string bytes(
        "\x7f"
        "ELF\x01\x01\x01",
        7);
    put(bytes, 16, 3, 2);   // a shared object
    put(bytes, 28, 52, 4);  // program headers at 52
    put(bytes, 42, 32, 2);  // of 32 bytes each
    put(bytes, 44, count, 2);
    put(bytes, 46, 40, 2);  // section headers of 40 bytes, none
    bytes.resize(52 + 32 * count, '\0');
    return bytes;
}

void segment32(std::string& bytes, int index, std::uint32_t type, std::uint32_t offset,
               std::uint32_t size) {
    const std::size_t entry = 52 + 32 * index;
    put(bytes, entry, type, 4);
    put(bytes, entry + 4, offset, 4);
    put(bytes, entry + 16, size, 4);
}

TEST(ModuleHeaders, ElfSegmentsAndHeaderTablesMustLieWithinTheFile) {
    std::string whole = elf32(2);
    segment32(whole, 0, kLoad, 0, 116);
    segment32(whole, 1, kLoad, 116, 400);
    whole.resize(516, '\0');
    EXPECT_EQ(module_header_problem(whole), "");
    EXPECT_EQ(module_header_problem(whole.substr(0, 515)),
              "truncated (segment 1 ends at byte 516, the file has 515)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 100)),
              "truncated (the program headers end at byte 116, the file has 100)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 51)),
              "truncated (the ELF header ends at byte 52, the file has 51)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 1)),
              "truncated (the ELF header ends at byte 52, the file has 1)");
    EXPECT_EQ(module_header_problem(std::string()), "truncated (the file is empty)");

    // Only loadable segments are mapped; a note beyond the end harms no one.
    std::string note = whole;
    segment32(note, 1, kNote, 116, 4000);
    EXPECT_EQ(module_header_problem(note), "");

    std::string sections = whole;
    put(sections, 32, 500, 4);  // section headers at 500
    put(sections, 48, 3, 2);    // three of them
    EXPECT_EQ(module_header_problem(sections),
              "truncated (the section headers end at byte 620, the file has 516)");
    put(sections, 48, 0, 2);  // counted in the first one: the first alone must be there
    EXPECT_EQ(module_header_problem(sections),
              "truncated (the section headers end at byte 540, the file has 516)");
}

TEST(ModuleHeaders, Elf64OffsetsAreReadWhereTheyLieAndSumsPast64BitsPrintExactly) {
    std::string bytes(
        "\x7f"
        "ELF\x02\x01\x01",
        7);
    put(bytes, 32, 64, 8);  // program headers at 64
    put(bytes, 54, 56, 2);  // of 56 bytes
    put(bytes, 56, 1, 2);
    bytes.resize(120, '\0');
    put(bytes, 64, kLoad, 4);
    put(bytes, 72, 0, 8);    // p_offset
    put(bytes, 96, 120, 8);  // p_filesz
    EXPECT_EQ(module_header_problem(bytes), "");
    put(bytes, 96, 121, 8);
    EXPECT_EQ(module_header_problem(bytes),
              "truncated (segment 0 ends at byte 121, the file has 120)");
    put(bytes, 72, 0xfffffffffffffff0u, 8);
    put(bytes, 96, 0x20, 8);
    EXPECT_EQ(module_header_problem(bytes),
              "truncated (segment 0 ends at byte 18446744073709551632, the file has 120)");
    EXPECT_EQ(module_header_problem(bytes.substr(0, 60)),
              "truncated (the ELF header ends at byte 64, the file has 60)");
}

TEST(ModuleHeaders, ElfHeadersThatCannotBeReadAlikeAreRefusedInWords) {
    std::string big = elf32(0);
    big[5] = 2;
    EXPECT_EQ(module_header_problem(big), "a big-endian ELF file (modules are little-endian)");
    big[5] = 7;
    EXPECT_EQ(module_header_problem(big), "an ELF file of unknown byte order 7");
    std::string odd = elf32(0);
    odd[4] = 3;
    EXPECT_EQ(module_header_problem(odd), "an ELF file of unknown class 3");
    std::string narrow = elf32(1);
    put(narrow, 42, 16, 2);
    EXPECT_EQ(module_header_problem(narrow),
              "a bad ELF header (program headers of 16 bytes, at least 32 expected)");
    std::string uncounted = elf32(1);
    put(uncounted, 44, 0xffff, 2);
    EXPECT_EQ(module_header_problem(uncounted), "more program headers than an ELF header counts");
    std::string sections = elf32(0);
    put(sections, 32, 52, 4);
    put(sections, 46, 8, 2);
    EXPECT_EQ(module_header_problem(sections),
              "a bad ELF header (section headers of 8 bytes, at least 40 expected)");
}

// A PE32 DLL: MS-DOS header, PE header at 64, an optional header of 224 bytes, `count` sections
// whose table ends at 328 + 40 * count, headers of 0x200 bytes.
std::string pe32(std::uint64_t count) {
    std::string bytes = "MZ";
    put(bytes, 0x3c, 64, 4);
    bytes.resize(64, '\0');
    bytes += std::string("PE\0\0", 4);
    put(bytes, 64 + 4, 0x14c, 2);  // i386
    put(bytes, 64 + 6, count, 2);
    put(bytes, 64 + 20, 224, 2);
    put(bytes, 88, 0x10b, 2);
    put(bytes, 88 + 60, 0x200, 4);  // SizeOfHeaders
    bytes.resize(0x200, '\0');
    return bytes;
}

void section(std::string& bytes, int index, std::uint32_t offset, std::uint32_t size) {
    const std::size_t entry = 312 + 40 * index;
    put(bytes, entry + 16, size, 4);
    put(bytes, entry + 20, offset, 4);
}

TEST(ModuleHeaders, PeSectionsAndHeadersMustLieWithinTheFile) {
    std::string whole = pe32(3);
    section(whole, 0, 0x200, 0x100);
    section(whole, 1, 0, 0);  // uninitialised data: nothing in the file
    section(whole, 2, 0x300, 0x100);
    whole.resize(0x400, '\0');
    EXPECT_EQ(module_header_problem(whole), "");
    EXPECT_EQ(module_header_problem(whole.substr(0, 0x3ff)),
              "truncated (section 2 ends at byte 1024, the file has 1023)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 0x250)),
              "truncated (section 0 ends at byte 768, the file has 592)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 0x1ff)),
              "truncated (the headers end at byte 512, the file has 511)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 400)),
              "truncated (the section table ends at byte 432, the file has 400)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 300)),
              "truncated (the optional header ends at byte 312, the file has 300)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 80)),
              "truncated (the PE header ends at byte 88, the file has 80)");
    EXPECT_EQ(module_header_problem(whole.substr(0, 1)),
              "truncated (the MS-DOS header ends at byte 64, the file has 1)");

    // Ten symbols at 896 end at 1076, then the names' length; four end at 968.
    std::string symbols = whole;
    put(symbols, 64 + 12, 896, 4);
    put(symbols, 64 + 16, 10, 4);
    EXPECT_EQ(module_header_problem(symbols),
              "truncated (the symbol table ends at byte 1080, the file has 1024)");
    put(symbols, 64 + 16, 4, 4);
    EXPECT_EQ(module_header_problem(symbols), "");
    put(symbols, 968, 56, 4);
    EXPECT_EQ(module_header_problem(symbols), "");
    put(symbols, 968, 57, 4);
    EXPECT_EQ(module_header_problem(symbols),
              "truncated (the symbol names end at byte 1025, the file has 1024)");
}

TEST(ModuleHeaders, PeHeadersOfOtherKindsAreReadOrRefusedInWords) {
    std::string plus = pe32(1);
    put(plus, 88, 0x20b, 2);  // PE32+: SizeOfHeaders lies at the same place
    section(plus, 0, 0x200, 0x10);
    EXPECT_EQ(module_header_problem(plus),
              "truncated (section 0 ends at byte 528, the file has 512)");
    std::string odd = pe32(0);
    put(odd, 88, 0x107, 2);
    EXPECT_EQ(module_header_problem(odd),
              "a PE file of unknown kind (optional header magic 0x107)");
    std::string small = pe32(0);
    put(small, 64 + 20, 16, 2);
    EXPECT_EQ(module_header_problem(small),
              "a bad PE header (an optional header of 16 bytes, at least 64 expected)");
    // An MS-DOS program, and files of no known kind: the system loader's to judge.
    std::string dos = pe32(0);
    dos[64] = 'N';
    EXPECT_EQ(module_header_problem(dos), "");
    EXPECT_EQ(module_header_problem("not a module at all"), "");
    EXPECT_EQ(module_header_problem("x"), "");
}

TEST(ModuleHeaders, AHandBuiltPeCutShortIsRefusedByTheLoaderInOneLine) {
    tmhost::TemporaryFolder folder;
    std::string pe = pe32(1);
    section(pe, 0, 0x200, 0x800);
    const std::string path = folder.write("Cut.cdl", pe).string();
    tmhost::ModuleFile module;
    EXPECT_FALSE(module.load(path));
    EXPECT_EQ(module.error(), "not a loadable module: " + path +
                                  ": truncated (section 0 ends at byte 2560, the file has 512)");
    EXPECT_FALSE(module.loaded());
}

#if defined(__linux__)
// Where a cut of the built module first falls short, read with the system's own ELF types.
std::string expected_cut(const std::string& whole, std::size_t cut) {
    if (cut == 0) return "truncated (the file is empty)";
    const std::string has = ", the file has " + std::to_string(cut) + ")";
    Elf32_Ehdr header;
    if (cut < sizeof header) {
        return "truncated (the ELF header ends at byte " + std::to_string(sizeof header) + has;
    }
    std::memcpy(&header, whole.data(), sizeof header);
    const std::size_t programs = header.e_phoff + header.e_phnum * sizeof(Elf32_Phdr);
    if (cut < programs) {
        return "truncated (the program headers end at byte " + std::to_string(programs) + has;
    }
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf32_Phdr segment;
        std::memcpy(&segment, whole.data() + header.e_phoff + i * sizeof segment, sizeof segment);
        const std::size_t end = segment.p_offset + segment.p_filesz;
        if (segment.p_type == PT_LOAD && cut < end) {
            return "truncated (segment " + std::to_string(i) + " ends at byte " +
                   std::to_string(end) + has;
        }
    }
    const std::size_t sections = header.e_shoff + header.e_shnum * sizeof(Elf32_Shdr);
    if (cut < sections) {
        return "truncated (the section headers end at byte " + std::to_string(sections) + has;
    }
    return "";
}

TEST(ModuleHeaders, TheBuiltModuleCutShortIsRefusedInOneLineAndWholeStillLoads) {
    const std::string whole = tmhost::file_content(TONEMIX_MODULE_FILE);
    ASSERT_GT(whole.size(), 20000u);
    tmhost::TemporaryFolder folder;
    for (const std::size_t cut : {std::size_t{0}, std::size_t{1000}, std::size_t{5000},
                                  std::size_t{20000}, whole.size() - 1}) {
        SCOPED_TRACE(cut);
        const std::string expected = expected_cut(whole, cut);
        // The first three cuts fall inside the loadable segments, the last in the section headers
        // the linker puts at the end.
        EXPECT_EQ(expected.rfind(cut == 0                  ? "truncated (the file is empty)"
                                 : cut == whole.size() - 1 ? "truncated (the section headers "
                                                           : "truncated (segment ",
                                 0),
                  0u)
            << expected;
        const std::string path =
            folder.write("cut-" + std::to_string(cut) + ".cdl", whole.substr(0, cut)).string();
        tmhost::ModuleFile module;
        EXPECT_FALSE(module.load(path));
        EXPECT_EQ(module.error(), "not a loadable module: " + path + ": " + expected);
        EXPECT_FALSE(module.loaded());
    }

    EXPECT_EQ(tmhost::module_file_header_problem(TONEMIX_MODULE_FILE), "");
    const std::string copy = folder.write("Whole.cdl", whole).string();
    tmhost::ModuleFile module;
    EXPECT_TRUE(module.load(copy)) << module.error();
}

TEST(ModuleHeaders, TheProgramRefusesACutModuleWithExitCodeTwoInsteadOfABusError) {
    const std::filesystem::path program =
        std::filesystem::path(TONEMIX_MODULE_FILE).parent_path() / "tonemix-host";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "tonemix-host not built";
    tmhost::TemporaryFolder folder;
    const std::string whole = tmhost::file_content(TONEMIX_MODULE_FILE);
    const std::string cut = folder.write("Cut.cdl", whole.substr(0, 20000)).string();
    const std::filesystem::path errors = folder.path() / "errors.txt";
    const std::string command =
        "'" + program.string() + "' info '" + cut + "' 2>'" + errors.string() + "' >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(tmhost::file_content(errors.string()), "tonemix-host: not a loadable module: " + cut +
                                                         ": " + expected_cut(whole, 20000) + "\n");
}
#endif

}  // namespace
