// What both deliverables rely on of the maker's driver-utility library
// VelUtils.dll: where its path is kept, its exports and their calling
// convention, and the driver codes of the lamp word.
#pragma once

#include <windows.h>

namespace tavrel {

namespace driver_names {
// Under HKEY_LOCAL_MACHINE.
constexpr const char* kPathKey = "Software\\Velmora Corporation\\Shared Info\\Shared Dlls";
constexpr const char* kPathValue = "VelUtils.dll";
constexpr const wchar_t* kPathKeyW = L"Software\\Velmora Corporation\\Shared Info\\Shared Dlls";
constexpr const wchar_t* kPathValueW = L"VelUtils.dll";

constexpr const char* kOpenExport = "VuOpen";
constexpr const char* kCloseExport = "VuClose";
constexpr const char* kCallExport = "VuCallDriverDWORD";
}  // namespace driver_names

// Second argument of VuCallDriverDWORD; the third points to one word.
enum DriverCode : DWORD {
    CodeLampRead = 125,        // word out: the current lamp word; non-zero result = success
    CodeLampWrite = 126,       // word in: the new lamp word
    CodeLampPresence = 136,    // word out: the lamp-presence mask
    CodeLampCapability = 137,  // word in 280; out 1 when the presence mask counts
};

constexpr DWORD kCapabilityQuery = 280;
constexpr DWORD kCapabilityUsesPresenceMask = 1;

// Plain C functions; the caller removes the arguments.
using VuOpenFn = DWORD(__cdecl*)(DWORD, DWORD);
using VuCloseFn = DWORD(__cdecl*)(DWORD);
using VuCallDriverDwordFn = DWORD(__cdecl*)(DWORD, DWORD, DWORD*);

}  // namespace tavrel
