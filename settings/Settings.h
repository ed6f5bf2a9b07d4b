// The monitor's registry settings and the yes/no probes of other
// components' keys. Nothing here writes to the registry, and nothing is
// cached: every call reads afresh.
#pragma once

#include <windows.h>

namespace tavrel {

namespace settings_names {
// The program's own key, holding the two lamp modes.
constexpr const char* kProgramKey = "SOFTWARE\\VELMORA CORPORATION\\Tavrel";
constexpr const char* kStatusModeValue = "dwStatusMode";
constexpr const char* kLogoModeValue = "dwLogoMode";

constexpr const char* kLocationKey = "software\\Velmora Corporation\\Shared Info";
constexpr const char* kLocationValue = "dwLocation";
constexpr DWORD kLocationExpected = 4316;  // 0x10DC

// Under HKEY_CURRENT_USER.
constexpr const char* kRemoteKeyKey =
    "SOFTWARE\\VELMORA CORPORATION\\QUORB Event Service\\Settings\\RemoteKey\\IsExistActivePlayer";
constexpr const char* kRemoteKeyValue = "dwApplication4";
constexpr DWORD kRemoteKeyExpected = 1;
}  // namespace settings_names

// A lamp mode that was never read, or whose value is unusable.
constexpr LONG kModeUnset = -1;

// Rereads StatusMode and LogoMode. A value that is missing or not a
// four-byte REG_DWORD becomes -1; when the key itself cannot be opened, the
// setting keeps its last value.
void LoadSettings() noexcept;

LONG StatusMode() noexcept;
LONG LogoMode() noexcept;

// 1 when "dwLocation" is the REG_DWORD 4316, else 0. Asked afresh each call.
int ProbeLocation() noexcept;

// 1 when HKCU's "dwApplication4" is the REG_DWORD 1, else 0.
int RemoteKeyApp4Active() noexcept;

// The start-up answer of ProbeLocation; fixed for the life of the process.
int LocationFlag() noexcept;
void FixLocationFlag() noexcept;

// Puts the process-wide settings back to their start values, for tests
// that drive several start-ups in one process.
void ResetSettingsForTest() noexcept;

}  // namespace tavrel
