// The one call of a caller-supplied machine-identifier function.
#pragma once

#include <windows.h>

#include "lampcheck/Brisolt.h"

extern "C" {

// Calls function(structure, word) and returns its result. The function is
// declared as taking no arguments and removing them itself, yet it is given
// two; in practice it is a plain C function taking (structure, word), which
// leaves them on the stack. On i686 the stack pointer is therefore restored
// to its value before the call, whatever the callee removed: popping the two
// arguments after a callee that already removed them would shift the stack
// under the caller. On x86_64 there is one convention and it is a plain call.
int __cdecl CallMachineIdFunction(MachineIdFunction function,
                                  tagVELMORA_UTILS_STRUC* structure, DWORD* word) noexcept;

}  // extern "C"
