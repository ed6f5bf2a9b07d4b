#include "monitoring/MonitorTick.h"

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

void RunMonitorTick() noexcept
{
    ClearUninstallOwner();
    LoadSettings();
}

void CALLBACK MonitorTick(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    RunMonitorTick();
}

}  // namespace tavrel
