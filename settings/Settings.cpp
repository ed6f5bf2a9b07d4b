#include "settings/Settings.h"

#include "settings/CRegistryKey.h"

namespace tavrel {

namespace {

LONG g_statusMode = kModeUnset;
LONG g_logoMode = kModeUnset;
int g_locationFlag = 0;

void LoadOneSetting(const char* valueName, LONG& setting) noexcept
{
    CRegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, settings_names::kProgramKey, KEY_READ) != ERROR_SUCCESS) {
        return;
    }
    DWORD value = 0;
    if (key.ReadDword(valueName, value) == ERROR_SUCCESS) {
        setting = static_cast<LONG>(value);
    } else {
        setting = kModeUnset;
    }
}

int ProbeDword(HKEY root, const char* keyPath, const char* valueName, DWORD expected) noexcept
{
    CRegistryKey key;
    if (key.Open(root, keyPath, KEY_READ) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD value = 0;
    const LONG result = key.ReadDword(valueName, value);
    return (result == ERROR_SUCCESS && value == expected) ? 1 : 0;
}

}  // namespace

void LoadSettings() noexcept
{
    LoadOneSetting(settings_names::kStatusModeValue, g_statusMode);
    LoadOneSetting(settings_names::kLogoModeValue, g_logoMode);
}

LONG StatusMode() noexcept { return g_statusMode; }
LONG LogoMode() noexcept { return g_logoMode; }

int ProbeLocation() noexcept
{
    return ProbeDword(HKEY_LOCAL_MACHINE, settings_names::kLocationKey,
                      settings_names::kLocationValue, settings_names::kLocationExpected);
}

int RemoteKeyApp4Active() noexcept
{
    return ProbeDword(HKEY_CURRENT_USER, settings_names::kRemoteKeyKey,
                      settings_names::kRemoteKeyValue, settings_names::kRemoteKeyExpected);
}

int LocationFlag() noexcept { return g_locationFlag; }
void FixLocationFlag() noexcept { g_locationFlag = ProbeLocation(); }

void ResetSettingsForTest() noexcept
{
    g_statusMode = kModeUnset;
    g_logoMode = kModeUnset;
    g_locationFlag = 0;
}

}  // namespace tavrel
