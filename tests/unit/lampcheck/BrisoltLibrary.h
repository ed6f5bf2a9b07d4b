// Brisolt.dll as a program of the platform reaches it: loaded from bin/ and
// its exports looked up by the names Microsoft's compiler gives the
// declarations on the target these tests are built for. Written out here,
// not taken from the library's .def, so that a wrong name fails a test.
#pragma once

#include <windows.h>

#include <string>

#include "common/UniqueResource.h"

namespace testsupport {

namespace brisolt_names {
#if defined(__i386__)
constexpr const char* kConstructor = "??0CBrisolt@@QAE@XZ";
constexpr const char* kAssignment = "??4CBrisolt@@QAEAAV0@ABV0@@Z";
constexpr const char* kGetMachineId =
    "?GetMachineId@CBrisolt@@SAKPAUtagVELMORA_UTILS_STRUC@@P6GHXZ@Z";
constexpr const char* kSearchRegistry = "?search_registry@CBrisolt@@SAHPAUHKEY__@@PAD11@Z";
#else
constexpr const char* kConstructor = "??0CBrisolt@@QEAA@XZ";
constexpr const char* kAssignment = "??4CBrisolt@@QEAAAEAV0@AEBV0@@Z";
constexpr const char* kGetMachineId =
    "?GetMachineId@CBrisolt@@SAKPEAUtagVELMORA_UTILS_STRUC@@P6AHXZ@Z";
constexpr const char* kSearchRegistry = "?search_registry@CBrisolt@@SAHPEAUHKEY__@@PEAD11@Z";
#endif
constexpr const char* kShowHideTavrel = "ShowHideTavrel";
}  // namespace brisolt_names

// The conventions of the declarations: on i686 the members take the object
// in ECX and remove their arguments (thiscall), and the identifier function
// is declared callee-removes (stdcall); the statics are cdecl. On x86_64
// there is one convention, and the object travels as the first argument.
#if defined(__i386__)
#define BRISOLT_MEMBER __thiscall
#define BRISOLT_CALLEE_REMOVES __stdcall
#else
#define BRISOLT_MEMBER
#define BRISOLT_CALLEE_REMOVES
#endif
using BrisoltConstructFn = void*(BRISOLT_MEMBER*)(void* self);
using BrisoltAssignFn = void*(BRISOLT_MEMBER*)(void* self, const void* other);
using BrisoltMachineIdFunction = int(BRISOLT_CALLEE_REMOVES*)();
using BrisoltGetMachineIdFn = unsigned long (*)(void* structure, BrisoltMachineIdFunction);
using BrisoltSearchRegistryFn = int (*)(HKEY root, char* subkey, char* valueName, char* data);
using BrisoltShowHideTavrelFn = int (*)(DWORD lampMask);

class BrisoltLibrary {
public:
    BrisoltLibrary();

    // True when the library loaded and every export resolved.
    bool complete() const;
    static std::string Path();

    BrisoltConstructFn construct = nullptr;
    BrisoltAssignFn assign = nullptr;
    BrisoltGetMachineIdFn getMachineId = nullptr;
    BrisoltSearchRegistryFn searchRegistry = nullptr;
    BrisoltShowHideTavrelFn showHideTavrel = nullptr;

private:
    tavrel::UniqueModule module_;
};

}  // namespace testsupport
