// The monitor's outside contract as a test sees it: names, paths and
// numbers other programs use to reach it. Written out here on purpose
// rather than taken from the product's headers, so that a wrong constant in
// the product fails a test instead of agreeing with it.
#pragma once

#include <windows.h>

namespace testsupport::names {

constexpr const char* kWindowClass = "QUORBTAVREL";
constexpr const char* kHaltEvent = "Global\\Tavrel_Event";
constexpr const char* kInstanceMutex = "Local\\Tavrel_Mutex";
constexpr UINT kHaltRequestMessage = 0x0464;

// HKLM
constexpr const char* kProgramKey = "SOFTWARE\\VELMORA CORPORATION\\Tavrel";
constexpr const char* kSharedInfoKey = "Software\\Velmora Corporation\\Shared Info";
constexpr const char* kSharedDllsKey = "Software\\Velmora Corporation\\Shared Info\\Shared Dlls";
constexpr const char* kDriverPathValue = "VelUtils.dll";
constexpr const char* kUninstallKey =
    "software\\microsoft\\windows\\CurrentVersion\\Uninstall\\"
    "InstallShield_{8C44C027-7B9F-46F1-8FD8-5767403A7CA5}";
// HKCU
constexpr const char* kRemoteKeyKey =
    "SOFTWARE\\VELMORA CORPORATION\\QUORB Event Service\\Settings\\RemoteKey\\IsExistActivePlayer";

constexpr DWORD kLocationAtHome = 4316;

// The tracked application's window and the chat client's main window.
constexpr const char* kTvClass = "TVEnhance";
constexpr const char* kTvTitle = "TV Enhance for QUORB";
constexpr const char* kChatClass = "tSkMainForm.UnicodeClass";
constexpr const char* kChatTitle = "Skype";

// States of the tracked application as the event service sees them.
constexpr DWORD kClosed = 0x10000;
constexpr DWORD kOpen = 0x10001;
constexpr DWORD kForeground = 0x10002;
constexpr DWORD kFullScreen = 0x10003;

}  // namespace testsupport::names
