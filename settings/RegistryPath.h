// Reading a file path kept in a registry string value under
// HKEY_LOCAL_MACHINE: the driver utility's and the visualiser's paths and the
// InterVideo installation path all go this way.
#pragma once

#include <windows.h>

namespace tavrel {

constexpr DWORD kPathCapacity = MAX_PATH;  // 260 characters, terminator included

struct PathBuffer {
    char text[kPathCapacity] = {};
};

// Opens root\keyPath with KEY_READ, reads valueName into a zero-filled
// buffer and closes the key. True only when the value is a NUL-terminated
// REG_SZ/REG_EXPAND_SZ that fits, terminator included.
bool ReadRegistryPath(HKEY root, const char* keyPath, const char* valueName,
                      PathBuffer& path) noexcept;

}  // namespace tavrel
