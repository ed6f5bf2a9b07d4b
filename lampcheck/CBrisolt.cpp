// The members of the exported class CBrisolt (see Brisolt.h for why they are
// free functions here).
#include "common/UniqueResource.h"
#include "lampcheck/Brisolt.h"
#include "lampcheck/LampCheck.h"
#include "lampcheck/MachineIdCall.h"

namespace lampcheck = tavrel::lampcheck;

extern "C" {

CBrisolt* __thiscall BrisoltConstruct(CBrisolt* self) noexcept { return self; }

CBrisolt* __thiscall BrisoltAssign(CBrisolt* self, const CBrisolt* /*other*/) noexcept
{
    return self;
}

unsigned long __cdecl BrisoltGetMachineId(tagVELMORA_UTILS_STRUC* structure,
                                          MachineIdFunction function) noexcept
{
    DWORD word = 0;
    const int result = CallMachineIdFunction(function, structure, &word);
    return lampcheck::MachineIdAnswer(result, word);
}

int __cdecl BrisoltSearchRegistry(HKEY root, char* subkey, char* valueName, char* data) noexcept
{
    tavrel::UniqueHkey key;
    if (::RegOpenKeyExA(root, subkey, lampcheck::kReservedOptions, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return lampcheck::SearchNoKey;
    }
    // The type is neither asked for nor tested: the caller gets the stored
    // bytes as they are, terminated only if the stored value is.
    DWORD size = lampcheck::kSearchDataCapacity;
    if (::RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                           &size) != ERROR_SUCCESS) {
        return lampcheck::SearchNoValue;
    }
    return lampcheck::SearchFound;
}

}  // extern "C"
