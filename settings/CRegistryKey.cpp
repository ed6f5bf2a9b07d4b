#include "settings/CRegistryKey.h"

namespace tavrel {

LONG CRegistryKey::Open(HKEY root, const char* path, REGSAM access) noexcept
{
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(root, path, 0, access, &opened);
    if (result == ERROR_SUCCESS) {
        key_.reset(opened);
    }
    return result;
}

LONG CRegistryKey::ReadDword(const char* valueName, DWORD& destination) const noexcept
{
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LONG result = ::RegQueryValueExA(key_.get(), valueName, nullptr, &type,
                                           reinterpret_cast<BYTE*>(&value), &size);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    // A REG_DWORD shorter than four bytes would leave the upper bytes as they
    // were; such a value is as unusable as one of another type.
    if (type != REG_DWORD || size != sizeof(value)) {
        return kErrorInvalidData;
    }
    destination = value;
    return ERROR_SUCCESS;
}

LONG CheckStringData(DWORD type, const char* data, DWORD size) noexcept
{
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return kErrorInvalidData;
    }
    if (size > 0 && data[size - 1] != '\0') {
        return kErrorInvalidData;
    }
    return ERROR_SUCCESS;
}

LONG CRegistryKey::ReadString(const char* valueName, char* buffer, DWORD& count) const noexcept
{
    const DWORD capacity = count;
    count = 0;
    if (buffer == nullptr || capacity == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD type = REG_NONE;
    DWORD size = capacity;
    const LONG result = ::RegQueryValueExA(key_.get(), valueName, nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer), &size);
    if (result != ERROR_SUCCESS) {
        // The buffer's content is undefined after a failed query.
        buffer[0] = '\0';
        return result;
    }
    const LONG check = CheckStringData(type, buffer, size);
    if (check != ERROR_SUCCESS) {
        // Leave no unterminated bytes behind for a caller that ignores the code.
        buffer[0] = '\0';
        return check;
    }
    if (size == 0) {
        buffer[0] = '\0';
    }
    count = size;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::DeleteValue(const char* valueName) const noexcept
{
    return ::RegDeleteValueA(key_.get(), valueName);
}

LONG CRegistryKey::Close() noexcept
{
    if (!key_.valid()) {
        return ERROR_SUCCESS;
    }
    return ::RegCloseKey(key_.release());
}

}  // namespace tavrel
