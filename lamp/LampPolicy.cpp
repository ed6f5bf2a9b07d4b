#include "lamp/LampPolicy.h"

namespace tavrel {

namespace {
constexpr DWORD kPresenceMaskBits = kStatusBit | kLogoBit;
}

LampWanted WantedLampBit(LONG mode, int fullScreenFlag) noexcept
{
    switch (mode) {
    case 0:
        return fullScreenFlag != 0 ? LampWanted::Set : LampWanted::Clear;
    case 1:
        return LampWanted::Clear;
    case 2:
        return LampWanted::Set;
    default:
        return LampWanted::Leave;
    }
}

void DriveLampBit(LampCache& cache, LampDriverPort& driver, DWORD mask, bool wantSet) noexcept
{
    if (cache.refreshCount < kLampRefreshBudget) {
        driver.Call(CodeLampRead, &cache.state);
        ++cache.refreshCount;
    }
    const bool isSet = (cache.state & mask) != 0;
    if (isSet == wantSet) {
        return;
    }
    // Re-read in front of every change, so bits changed by someone else are
    // written back as they now are.
    if (driver.Call(CodeLampRead, &cache.state) == 0) {
        return;
    }
    if (wantSet) {
        cache.state |= mask;
    } else {
        cache.state &= ~mask;
    }
    driver.Call(CodeLampWrite, &cache.state);
}

void ApplyLampModes(LampCache& cache, LampDriverPort& driver, LONG statusMode,
                    LONG logoMode, int fullScreenFlag) noexcept
{
    const struct {
        LONG mode;
        DWORD mask;
    } lamps[] = {{statusMode, kStatusBit}, {logoMode, kLogoBit}};
    for (const auto& lamp : lamps) {
        const LampWanted wanted = WantedLampBit(lamp.mode, fullScreenFlag);
        if (wanted != LampWanted::Leave) {
            DriveLampBit(cache, driver, lamp.mask, wanted == LampWanted::Set);
        }
    }
}

int ProbeLampsPresent(LampDriverPort& driver) noexcept
{
    DWORD capability = kCapabilityQuery;
    driver.Call(CodeLampCapability, &capability);
    if (capability != kCapabilityUsesPresenceMask) {
        return 1;
    }
    DWORD presence = 0;
    driver.Call(CodeLampPresence, &presence);
    return (presence & kPresenceMaskBits) != 0 ? 1 : 0;
}

}  // namespace tavrel
