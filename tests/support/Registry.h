// Registry set-up for tests: values of any type, and keys removed again.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace testsupport {

bool SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
bool SetString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value, DWORD type = REG_SZ);
// Raw bytes under any type, for values of the wrong type or shape.
bool SetRaw(HKEY root, const std::string& key, const std::string& name, DWORD type,
            const void* data, DWORD size);
bool DeleteValue(HKEY root, const std::string& key, const std::string& name);
// Removes the key with everything below it; true when it is gone.
bool DeleteTree(HKEY root, const std::string& key);
bool KeyExists(HKEY root, const std::string& key);
bool ValueExists(HKEY root, const std::string& key, const std::string& name);
std::optional<DWORD> ReadDword(HKEY root, const std::string& key, const std::string& name);

// Deletes the key tree when the test ends (and once before it starts).
class ScopedKey {
public:
    ScopedKey(HKEY root, std::string key);
    ~ScopedKey();
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

private:
    HKEY root_;
    std::string key_;
};

}  // namespace testsupport
