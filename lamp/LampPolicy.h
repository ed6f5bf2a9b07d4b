// The lamp policy as plain functions over an explicit cache and driver
// port, so that it can be driven step by step without the driver utility.
#pragma once

#include <windows.h>

#include "lamp/DriverUtilityAbi.h"

namespace tavrel {

constexpr DWORD kStatusBit = 2;
constexpr DWORD kLogoBit = 1;
// Refresh reads allowed after start or a power resume, over both lamps.
constexpr DWORD kLampRefreshBudget = 5;

enum class LampWanted { Leave, Set, Clear };

// Mode 0 follows the full-screen flag, 1 clears, 2 sets; every other value,
// -1 included, leaves the bit alone.
LampWanted WantedLampBit(LONG mode, int fullScreenFlag) noexcept;

struct LampCache {
    DWORD state = 0;         // last lamp word read or written
    DWORD refreshCount = 0;  // refresh reads since start or resume
};

// One call into the driver; answers the call's own result.
class LampDriverPort {
public:
    virtual DWORD Call(DriverCode code, DWORD* word) noexcept = 0;

protected:
    ~LampDriverPort() = default;
};

// Refresh read while the budget lasts; if the cached bit is not as wanted,
// re-read the word (a failed read abandons the change), flip the bit and
// write the word back.
void DriveLampBit(LampCache& cache, LampDriverPort& driver, DWORD mask,
                  bool wantSet) noexcept;

// Status lamp first, then the logo lamp, each by its own mode.
void ApplyLampModes(LampCache& cache, LampDriverPort& driver, LONG statusMode,
                    LONG logoMode, int fullScreenFlag) noexcept;

// The start-up probe: capability query, and the presence mask only when the
// capability word says it counts.
int ProbeLampsPresent(LampDriverPort& driver) noexcept;

}  // namespace tavrel
