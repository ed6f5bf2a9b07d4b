// Registry set-up for tests: values of any type, and keys removed again.
//
// Every key is reached in the registry view of the build under test: a
// 32-bit program on 64-bit Windows (and in a 64-bit Wine prefix) reads
// HKLM\Software through WOW6432Node, so the settings, paths and class
// registrations a test makes for the 32-bit build go there, and what it
// observes is read back from there.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace testsupport {

// KEY_WOW64_32KEY or KEY_WOW64_64KEY, after the build under test.
REGSAM TargetRegistryView();

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
// A REG_SZ value without its terminator; empty when missing or of another type.
std::optional<std::string> ReadString(HKEY root, const std::string& key, const std::string& name);

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
