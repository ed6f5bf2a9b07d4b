// The decisions behind Brisolt's answers, as plain functions: whether a
// stored driver path may be used, what the driver's words mean for a caller's
// mask, and what a machine-identifier function's answer becomes.
#pragma once

#include <windows.h>

namespace tavrel::lampcheck {

// The reserved options argument of RegOpenKeyEx.
constexpr DWORD kReservedOptions = 0;

// The driver-utility path: wide characters, terminator included.
constexpr DWORD kWidePathCapacity = MAX_PATH;

// search_registry's answers and the caller's buffer size it relies on.
enum SearchResult : int {
    SearchFound = 0,
    SearchNoKey = 1,
    SearchNoValue = 2,
};
constexpr DWORD kSearchDataCapacity = MAX_PATH;  // bytes

// GetMachineId's answer when the function reports failure.
constexpr unsigned long kNoMachineId = 0xFFFFFFFFul;

// What ShowHideTavrel answers.
enum LampAnswer : int {
    LampBitsAbsent = 0,
    LampBitsPresent = 1,
};

// A path value is usable when it is a REG_SZ or REG_EXPAND_SZ of whole wide
// characters whose last character is NUL. An empty value (no bytes at all)
// is an empty path. byteCount is what the query reported and never exceeds
// the buffer the query was given.
bool IsUsableWidePath(DWORD type, const wchar_t* text, DWORD byteCount) noexcept;

// Only a capability word of 1 says that the presence mask is to be read.
bool PresenceMaskCounts(DWORD capabilityWord) noexcept;

LampAnswer AnswerForMask(DWORD lampMask, DWORD presenceWord) noexcept;

unsigned long MachineIdAnswer(int functionResult, DWORD storedWord) noexcept;

}  // namespace tavrel::lampcheck
