#include "host/loading/checked_call.h"

// The call is written in assembly: only there can the stack pointer be read on both sides of a
// call whose callee decides how much it pops. One source serves i686 ELF and i686 PE, whose C
// symbols carry a leading underscore.
#if defined(_WIN32)
#define TM_ASM_SYMBOL "_tm_call_thiscall_checked"
#define TM_ASM_ELF_ONLY(text)
#else
#define TM_ASM_SYMBOL "tm_call_thiscall_checked"
#define TM_ASM_ELF_ONLY(text) text
#endif

#define TM_CHECKED_CALL_SLACK 256
static_assert(TM_CHECKED_CALL_SLACK == tmhost::kCheckedCallSlack, "one slack for both sides");

#define TM_ASM_STRING2(x) #x
#define TM_ASM_STRING(x) TM_ASM_STRING2(x)

#if !defined(__i386__)
#error "call_thiscall_checked is written for 32-bit x86"
#endif

extern "C" {
// cdecl: (entry, self, words, count, popped out); answers the entry's EAX.
__attribute__((visibility("hidden"))) uint32_t tm_call_thiscall_checked(const void* entry,
                                                                        void* self,
                                                                        const uint32_t* words,
                                                                        int count, int32_t* popped);
}

// Frame: [ebp+8] entry, [ebp+12] self, [ebp+16] words, [ebp+20] count, [ebp+24] popped; below
// EBP the caller's EBX, ESI and EDI, then at [ebp-16] the stack pointer after the pushes, so
// popped = ESP after the call - [ebp-16]. The slot lies above the slack, out of reach of an entry
// that takes more words than it was given. The stack and the caller's registers are restored from
// the frame, so an entry that pops wrongly, or even breaks the convention by not keeping EBX, ESI
// or EDI, is still measured and survived; only EBP must come back intact.
asm(".text\n"
    ".globl " TM_ASM_SYMBOL "\n"
    TM_ASM_ELF_ONLY(".hidden " TM_ASM_SYMBOL "\n")
    TM_ASM_ELF_ONLY(".type " TM_ASM_SYMBOL ", @function\n")
    ".p2align 4\n"
    TM_ASM_SYMBOL ":\n"
    ".intel_syntax noprefix\n"
    "    push ebp\n"
    "    mov ebp, esp\n"
    "    push ebx\n"
    "    push esi\n"
    "    push edi\n"
    "    sub esp, 4\n"
    "    mov esi, dword ptr [ebp+16]\n"
    "    mov edx, dword ptr [ebp+20]\n"
    "    xor eax, eax\n"
    "    test edx, edx\n"
    "    cmovl edx, eax\n"
    // ESP before the pushes: slack below the saved registers, then room for the words, placed
    // so that ESP is a multiple of 16 once they are pushed.
    "    lea ebx, [edx*4]\n"
    "    lea eax, [ebp-16-" TM_ASM_STRING(TM_CHECKED_CALL_SLACK) "]\n"
    "    sub eax, ebx\n"
    "    and eax, -16\n"
    "    lea esp, [eax+ebx]\n"
    "    test edx, edx\n"
    "    jz 2f\n"
    "1:\n"
    "    dec edx\n"
    "    push dword ptr [esi+edx*4]\n"
    "    jnz 1b\n"
    "2:\n"
    "    mov dword ptr [ebp-16], esp\n"
    "    mov eax, dword ptr [ebp+8]\n"
    "    mov ecx, dword ptr [ebp+12]\n"
    "    call eax\n"
    "    mov ecx, esp\n"
    "    sub ecx, dword ptr [ebp-16]\n"
    "    mov edx, dword ptr [ebp+24]\n"
    "    mov dword ptr [edx], ecx\n"
    "    lea esp, [ebp-12]\n"
    "    pop edi\n"
    "    pop esi\n"
    "    pop ebx\n"
    "    pop ebp\n"
    "    ret\n"
    ".att_syntax prefix\n"
    TM_ASM_ELF_ONLY(".size " TM_ASM_SYMBOL ", .-" TM_ASM_SYMBOL "\n"));

namespace tmhost {

CheckedCall call_thiscall_checked(const void* entry, void* self, const uint32_t* words, int count) {
    int32_t popped = 0;
    uint32_t result = tm_call_thiscall_checked(entry, self, words, count, &popped);
    return CheckedCall{result, popped};
}

}  // namespace tmhost
