#include "lampcheck/MachineIdCall.h"

#if defined(__i386__)

// EBX is preserved by every i686 convention, so it still holds the stack
// pointer of before the call when the callee returns, however many bytes the
// callee popped. On entry: [esp+4] function, [esp+8] structure, [esp+12]
// word; after the push of EBX each is four bytes further.
asm(R"(
    .text
    .p2align 4
    .globl _CallMachineIdFunction
    .def _CallMachineIdFunction; .scl 2; .type 32; .endef
_CallMachineIdFunction:
    pushl %ebx
    movl %esp, %ebx
    pushl 16(%ebx)
    pushl 12(%ebx)
    calll *8(%ebx)
    movl %ebx, %esp
    popl %ebx
    ret
)");

#else

extern "C" int __cdecl CallMachineIdFunction(MachineIdFunction function,
                                             tagVELMORA_UTILS_STRUC* structure,
                                             DWORD* word) noexcept
{
    using TwoArgumentFunction = int (*)(tagVELMORA_UTILS_STRUC*, DWORD*);
    // Through void(*)(), the type GCC accepts as a neutral function pointer.
    const auto call =
        reinterpret_cast<TwoArgumentFunction>(reinterpret_cast<void (*)()>(function));
    return call(structure, word);
}

#endif
