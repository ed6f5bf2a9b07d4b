// The five exports of Brisolt.dll as this library defines them.
//
// Programs of the platform are built with Microsoft's compiler and reach the
// class CBrisolt through that compiler's decorated names and conventions. A
// MinGW build can give neither by declaring the class itself: GCC decorates
// C++ names differently, and its constructors do not return the object,
// where a Microsoft-built caller may use the returned pointer. So each member
// is written here as a free function with the member's calling convention
// (the object as hidden first argument in ECX on i686, __thiscall; RCX on
// x86_64) and exported under the member's decorated name by the per-target
// .def file, which also fixes the ordinals.
#pragma once

#include <windows.h>

// The exported class: no data members, no virtual operations. Its callers
// own the storage; the library only ever sees the pointer.
class CBrisolt {};

// Opaque to the library: only passed through to the caller's own function.
struct tagVELMORA_UTILS_STRUC;

// How the machine-identifier parameter is declared: no parameters, callee
// removes the arguments. (On x86_64 there is one convention and __stdcall
// means nothing.) The function is in fact called with two arguments.
using MachineIdFunction = int(__stdcall*)();

extern "C" {

// CBrisolt::CBrisolt(): does nothing but return the object.
CBrisolt* __thiscall BrisoltConstruct(CBrisolt* self) noexcept;

// CBrisolt::operator=(const CBrisolt&): copies nothing, returns the object
// assigned to. The reference parameter travels as a pointer.
CBrisolt* __thiscall BrisoltAssign(CBrisolt* self, const CBrisolt* other) noexcept;

// static CBrisolt::GetMachineId: the identifier the function stores, or
// kNoMachineId when it answers 0.
unsigned long __cdecl BrisoltGetMachineId(tagVELMORA_UTILS_STRUC* structure,
                                          MachineIdFunction function) noexcept;

// static CBrisolt::search_registry: 0 found, 1 no key, 2 no value that fits
// (see SearchResult).
int __cdecl BrisoltSearchRegistry(HKEY root, char* subkey, char* valueName,
                                  char* data) noexcept;

// 1 when the driver reports any of the lamp bits in lampMask present, else 0.
int __cdecl ShowHideTavrel(DWORD lampMask) noexcept;

}  // extern "C"
