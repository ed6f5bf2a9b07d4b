#include "settings/RegistryPath.h"

#include "settings/CRegistryKey.h"

namespace tavrel {

bool ReadRegistryPath(HKEY root, const char* keyPath, const char* valueName,
                      PathBuffer& path) noexcept
{
    path = PathBuffer{};
    CRegistryKey key;
    if (key.Open(root, keyPath, KEY_READ) != ERROR_SUCCESS) {
        return false;
    }
    DWORD count = kPathCapacity;
    return key.ReadString(valueName, path.text, count) == ERROR_SUCCESS;
}

}  // namespace tavrel
