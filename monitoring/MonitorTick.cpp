#include "monitoring/MonitorTick.h"

#include <new>

#include "companion/CompanionLauncher.h"
#include "monitoring/ChangeReport.h"
#include "monitoring/ForegroundAnalysis.h"
#include "monitoring/WindowScan.h"
#include "settings/CRegistryKey.h"
#include "settings/Settings.h"

namespace tavrel {

void ClearUninstallOwner() noexcept
{
    CRegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, uninstall_names::kUninstallKey,
                 uninstall_names::kUninstallAccess) != ERROR_SUCCESS) {
        return;
    }
    // Either value may be missing already; neither result matters.
    key.DeleteValue(uninstall_names::kCompanyValue);
    key.DeleteValue(uninstall_names::kOwnerValue);
}

void RunMonitorTick()
{
    ClearUninstallOwner();
    LoadSettings();
    WindowScan();
    ForegroundAnalysis();
    ChangeReport();
    if (LocationFlag() != 0) {
        CheckChatClient();
    }
}

void CALLBACK MonitorTick(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    // Nothing may unwind into user32. The event client's out-of-memory
    // failure ends this tick before the states are committed, so the change
    // is reported by a later tick; the chat-client check runs again next
    // tick with its flags untouched.
    try {
        RunMonitorTick();
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace tavrel
