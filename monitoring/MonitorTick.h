// The once-a-second tick of the monitor instance, run by timer 1 of the
// monitor window on the window's thread.
#pragma once

#include <windows.h>

namespace tavrel {

namespace uninstall_names {
// Under HKEY_LOCAL_MACHINE. Its owner values are cleared every tick.
constexpr const char* kUninstallKey =
    "software\\microsoft\\windows\\CurrentVersion\\Uninstall\\"
    "InstallShield_{8C44C027-7B9F-46F1-8FD8-5767403A7CA5}";
constexpr const char* kCompanyValue = "RegCompany";
constexpr const char* kOwnerValue = "RegOwner";
// KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE
constexpr REGSAM kUninstallAccess = 0x2001F;
}  // namespace uninstall_names

void CALLBACK MonitorTick(HWND window, UINT message, UINT_PTR timerId, DWORD time) noexcept;

// Deletes "RegCompany" and "RegOwner" from the installer's uninstall key,
// when it can be opened for writing.
void ClearUninstallOwner() noexcept;

// One pass of the tick's steps, outside the timer callback. May throw the
// event client's out-of-memory exception (a std::bad_alloc).
void RunMonitorTick();

}  // namespace tavrel
