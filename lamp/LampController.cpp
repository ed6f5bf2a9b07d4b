#include "lamp/LampController.h"

#include "lamp/DriverUtility.h"
#include "lamp/LampPolicy.h"
#include "settings/Settings.h"

namespace tavrel {

namespace {

int g_lampAvailable = 0;
LampCache g_lampCache;

class BoundDriverPort final : public LampDriverPort {
public:
    DWORD Call(DriverCode code, DWORD* word) noexcept override { return CallDriver(code, word); }
};

}  // namespace

int ProbeLampAvailable() noexcept
{
    if (!DriverCallBound()) {
        return 0;
    }
    BoundDriverPort driver;
    return ProbeLampsPresent(driver);
}

void FixLampAvailable() noexcept { g_lampAvailable = ProbeLampAvailable(); }

int LampAvailable() noexcept { return g_lampAvailable; }

void ApplyLampPolicy(int fullScreenFlag) noexcept
{
    // After the quit path has unloaded the utility, LampAvailable stays 1 but
    // nothing may be called any more.
    if (g_lampAvailable == 0 || !DriverCallBound()) {
        return;
    }
    BoundDriverPort driver;
    ApplyLampModes(g_lampCache, driver, StatusMode(), LogoMode(), fullScreenFlag);
}

void ResetLampCache() noexcept { g_lampCache.state = 0; }
void ResetLampRefreshCount() noexcept { g_lampCache.refreshCount = 0; }

DWORD LampState() noexcept { return g_lampCache.state; }
DWORD LampRefreshCount() noexcept { return g_lampCache.refreshCount; }

void ResetLampControllerForTest() noexcept
{
    g_lampAvailable = 0;
    g_lampCache = LampCache{};
}

}  // namespace tavrel
