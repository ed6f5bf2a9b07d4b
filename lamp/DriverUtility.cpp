#include "lamp/DriverUtility.h"

#include "common/ProcessLifetime.h"
#include "common/UniqueResource.h"
#include "settings/RegistryPath.h"

namespace tavrel {

namespace {

// Unloaded only on the quit path; otherwise the end of the process releases
// it, so the library never sees an unload while its handle is open.
ProcessLifetime<UniqueModule> g_library;
VuOpenFn g_open = nullptr;
VuCloseFn g_close = nullptr;
VuCallDriverDwordFn g_call = nullptr;
DWORD g_driverHandle = 0;
// Set on the quit path: the utility stays unloaded even if something asks
// to bind it again.
bool g_unloadedForGood = false;

}  // namespace

void BindDriverUtility() noexcept
{
    if (g_library->valid() || g_unloadedForGood) {
        return;
    }
    PathBuffer path;
    if (!ReadRegistryPath(HKEY_LOCAL_MACHINE, driver_names::kPathKey,
                          driver_names::kPathValue, path)) {
        return;
    }
    g_library->reset(::LoadLibraryA(path.text));
    if (!g_library->valid()) {
        return;
    }
    g_open = GetProcAs<VuOpenFn>(g_library->get(), driver_names::kOpenExport);
    g_close = GetProcAs<VuCloseFn>(g_library->get(), driver_names::kCloseExport);
    g_call = GetProcAs<VuCallDriverDwordFn>(g_library->get(), driver_names::kCallExport);
}

void OpenDriverUtility() noexcept
{
    if (g_open != nullptr) {
        g_driverHandle = g_open(0, 0);
    }
}

void CloseAndUnloadDriverUtility() noexcept
{
    if (g_close != nullptr) {
        g_close(g_driverHandle);
    }
    // Clear every entry before the module goes, so nothing can reach into
    // unmapped code afterwards.
    g_open = nullptr;
    g_close = nullptr;
    g_call = nullptr;
    if (g_library->valid()) {
        g_library->reset();
        g_unloadedForGood = true;
    }
}

bool DriverCallBound() noexcept { return g_call != nullptr; }

DWORD DriverHandle() noexcept { return g_driverHandle; }

DWORD CallDriver(DriverCode code, DWORD* word) noexcept
{
    if (g_call == nullptr) {
        return 0;
    }
    return g_call(g_driverHandle, code, word);
}

void ResetDriverUtilityForTest() noexcept
{
    g_open = nullptr;
    g_close = nullptr;
    g_call = nullptr;
    g_library->reset();
    g_driverHandle = 0;
    g_unloadedForGood = false;
}

}  // namespace tavrel
