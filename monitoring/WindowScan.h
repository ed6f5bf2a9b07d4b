// Looks for each catalogue entry's main window among the top-level windows
// and records open or minimised; an entry seen before and now gone is
// recorded as closed.
#pragma once

#include <windows.h>

namespace tavrel {

namespace scan_names {
constexpr const char* kWinDvdClass = "WinDVDClass";
constexpr const char* kMediaCenterClass = "eHome Render Window";
constexpr const char* kTvEnhanceClass = "TVEnhance";

// Under HKEY_LOCAL_MACHINE: the InterVideo player's installation path.
constexpr const char* kInterVideoKey = "Software\\InterVideo\\DVD8";
constexpr const char* kInterVideoPathValue = "Path";
constexpr const char* kDvdEditionMark = "DVD8";
constexpr const char* kBdEditionMark = "DVDBD8";
}  // namespace scan_names

// Which InterVideo edition a "Path" names: the catalogue index of the DVD
// edition (3) or the BD edition (8), or 0. A mark counts only from byte
// offset 2 on (after a drive letter and colon).
size_t EditionFromPath(const char* path) noexcept;

// EditionFromPath of the registry's "Path", or 0 when it cannot be read.
size_t InterVideoEdition() noexcept;

void WindowScan() noexcept;

}  // namespace tavrel
