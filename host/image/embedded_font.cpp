#include "host/image/embedded_font.h"

// The assembler copies the file into read-only data: no generated source of a megabyte of hex,
// and the same bytes in the ELF and the PE build. TMHOST_FONT_FILE comes from the build.
#define TMHOST_TEXT(x) #x
#define TMHOST_EXPANDED_TEXT(x) TMHOST_TEXT(x)
// MinGW's i686 C names carry a leading underscore; ELF ones do not.
#define TMHOST_ASM_NAME(name) TMHOST_EXPANDED_TEXT(__USER_LABEL_PREFIX__) #name

asm(".section .rodata\n"
    ".balign 16\n"
    ".globl " TMHOST_ASM_NAME(tmhost_font_begin) "\n" TMHOST_ASM_NAME(tmhost_font_begin) ":\n"
    ".incbin \"" TMHOST_FONT_FILE "\"\n"
    ".globl " TMHOST_ASM_NAME(tmhost_font_end) "\n" TMHOST_ASM_NAME(tmhost_font_end) ":\n"
    ".byte 0\n"
    ".text\n");

extern "C" const unsigned char tmhost_font_begin[];
extern "C" const unsigned char tmhost_font_end[];

namespace tmhost {

FontFile embedded_font() {
    return {tmhost_font_begin, static_cast<std::size_t>(tmhost_font_end - tmhost_font_begin)};
}

}  // namespace tmhost
