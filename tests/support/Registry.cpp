#include "tests/support/Registry.h"

#include "common/UniqueResource.h"
#include "tests/support/TestPaths.h"

namespace testsupport {

namespace {
tavrel::UniqueHkey CreateKey(HKEY root, const std::string& key)
{
    tavrel::UniqueHkey handle;
    ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | TargetRegistryView(),
                      nullptr, handle.put(), nullptr);
    return handle;
}

LONG OpenKey(HKEY root, const std::string& key, REGSAM access, tavrel::UniqueHkey& handle)
{
    return ::RegOpenKeyExA(root, key.c_str(), 0, access | TargetRegistryView(), handle.put());
}
}  // namespace

REGSAM TargetRegistryView()
{
    return TargetIs32Bit() ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

bool SetRaw(HKEY root, const std::string& key, const std::string& name, DWORD type,
            const void* data, DWORD size)
{
    tavrel::UniqueHkey handle = CreateKey(root, key);
    return handle.valid() &&
           ::RegSetValueExA(handle.get(), name.c_str(), 0, type,
                            static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value)
{
    return SetRaw(root, key, name, REG_DWORD, &value, sizeof(value));
}

bool SetString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value, DWORD type)
{
    return SetRaw(root, key, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool DeleteValue(HKEY root, const std::string& key, const std::string& name)
{
    tavrel::UniqueHkey handle;
    if (OpenKey(root, key, KEY_SET_VALUE, handle) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegDeleteValueA(handle.get(), name.c_str()) == ERROR_SUCCESS;
}

bool DeleteTree(HKEY root, const std::string& key)
{
    tavrel::UniqueHkey handle;
    const LONG opened = OpenKey(root, key, KEY_ALL_ACCESS, handle);
    if (opened == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (opened != ERROR_SUCCESS || ::RegDeleteTreeA(handle.get(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    handle.reset();
    ::RegDeleteKeyExA(root, key.c_str(), TargetRegistryView(), 0);
    return !KeyExists(root, key);
}

bool KeyExists(HKEY root, const std::string& key)
{
    tavrel::UniqueHkey handle;
    return OpenKey(root, key, KEY_READ, handle) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::string& key, const std::string& name)
{
    tavrel::UniqueHkey handle;
    if (OpenKey(root, key, KEY_READ, handle) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegQueryValueExA(handle.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

std::optional<DWORD> ReadDword(HKEY root, const std::string& key, const std::string& name)
{
    tavrel::UniqueHkey handle;
    if (OpenKey(root, key, KEY_READ, handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (::RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> ReadString(HKEY root, const std::string& key, const std::string& name)
{
    tavrel::UniqueHkey handle;
    if (OpenKey(root, key, KEY_READ, handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    char value[1024] = {};
    DWORD size = sizeof(value) - 1;  // room for a terminator the data may lack
    DWORD type = 0;
    if (::RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    return std::string(value);
}

ScopedKey::ScopedKey(HKEY root, std::string key) : root_(root), key_(std::move(key))
{
    DeleteTree(root_, key_);
}

ScopedKey::~ScopedKey() { DeleteTree(root_, key_); }

}  // namespace testsupport
