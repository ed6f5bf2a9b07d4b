// The monitor's one binding of the driver-utility library: loaded once at
// start-up from the path in the registry, opened with VuOpen, and closed and
// unloaded only on the quit path. Once unloaded, no call reaches it again.
#pragma once

#include <windows.h>

#include "lamp/DriverUtilityAbi.h"

namespace tavrel {

// Loads the library and resolves its three exports, each on its own. Does
// nothing when the library is already loaded or was unloaded at quit.
void BindDriverUtility() noexcept;

// DriverHandle <- VuOpen(0, 0) when VuOpen is bound.
void OpenDriverUtility() noexcept;

// VuClose(DriverHandle) when bound, then unloads the library for good.
void CloseAndUnloadDriverUtility() noexcept;

bool DriverCallBound() noexcept;
DWORD DriverHandle() noexcept;

// VuCallDriverDWORD(DriverHandle, code, word); 0 without a call when the
// export is not bound (or the library has been unloaded).
DWORD CallDriver(DriverCode code, DWORD* word) noexcept;

void ResetDriverUtilityForTest() noexcept;

}  // namespace tavrel
