// Brisolt.dll as a program of the platform reaches it: loaded from bin/ and
// its exports looked up by the names Microsoft's compiler gives the
// declarations on x86_64 (the target these tests run on). Written out here,
// not taken from the library's .def, so that a wrong name fails a test.
#pragma once

#include <windows.h>

#include <string>

#include "common/UniqueResource.h"

namespace testsupport {

namespace brisolt_names {
constexpr const char* kConstructor = "??0CBrisolt@@QEAA@XZ";
constexpr const char* kAssignment = "??4CBrisolt@@QEAAAEAV0@AEBV0@@Z";
constexpr const char* kGetMachineId =
    "?GetMachineId@CBrisolt@@SAKPEAUtagVELMORA_UTILS_STRUC@@P6AHXZ@Z";
constexpr const char* kSearchRegistry = "?search_registry@CBrisolt@@SAHPEAUHKEY__@@PEAD11@Z";
constexpr const char* kShowHideTavrel = "ShowHideTavrel";
}  // namespace brisolt_names

// On x86_64 a member's hidden object argument travels like a first
// parameter, so the members can be called through plain function pointers.
using BrisoltConstructFn = void* (*)(void* self);
using BrisoltAssignFn = void* (*)(void* self, const void* other);
using BrisoltMachineIdFunction = int (*)();
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
