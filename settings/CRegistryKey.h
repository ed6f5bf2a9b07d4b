// Holder of one open registry key, used for every registry read of the
// monitor. Values are read with the checks the program relies on: numbers
// must be REG_DWORD, strings must be REG_SZ/REG_EXPAND_SZ and NUL-terminated.
#pragma once

#include <windows.h>

#include "common/UniqueResource.h"

namespace tavrel {

// Win32 error code for a value of the wrong type or shape.
constexpr LONG kErrorInvalidData = ERROR_INVALID_DATA;  // 13

class CRegistryKey {
public:
    CRegistryKey() noexcept = default;

    // Opens root\path. On success the key held before is closed and the new
    // one held; on failure the holder is unchanged. Returns the open's code.
    LONG Open(HKEY root, const char* path, REGSAM access) noexcept;

    // Reads a REG_DWORD of exactly four bytes. Returns the query's own code
    // when the query fails, kErrorInvalidData for any other type or size,
    // else 0. The destination is written only on success.
    LONG ReadDword(const char* valueName, DWORD& destination) const noexcept;

    // Reads a string value into buffer; count is the buffer's capacity in
    // characters on entry. On success count becomes the number of characters
    // stored, the terminator included (0 for an empty value), and the buffer
    // holds a NUL-terminated string. On failure count is 0. Environment
    // references are not expanded.
    LONG ReadString(const char* valueName, char* buffer, DWORD& count) const noexcept;

    // Deletes one value of the held key; returns the registry's code.
    LONG DeleteValue(const char* valueName) const noexcept;

    // Closes the held key; returns RegCloseKey's code, or 0 when none is held.
    LONG Close() noexcept;

    bool IsOpen() const noexcept { return key_.valid(); }

private:
    UniqueHkey key_;
};

// Checks the bytes a string query returned: the type must be a string type
// and non-empty data must end in NUL. Kept apart from the registry call so
// the rule can be tested on its own.
LONG CheckStringData(DWORD type, const char* data, DWORD size) noexcept;

}  // namespace tavrel
