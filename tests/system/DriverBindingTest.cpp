// How the monitor binds the driver utility at start-up, seen through the
// stand-in's records.
#include <gtest/gtest.h>

#include "tests/support/MonitorTestBase.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

class DriverBindingTest : public MonitorTestBase {
protected:
    // Lamp modes that make every tick want the lamps switched, so a bound
    // call export would be used.
    void WantLamps() const
    {
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 2);
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", 2);
    }

    // Starts the monitor and lets it tick a few times.
    void RunForAFewTicks()
    {
        StartMonitorOrFail(monitor_);
        TickProbe ticks;
        ASSERT_TRUE(ticks.WaitForTick(2500));
        ticks.Arm();
        ASSERT_TRUE(ticks.WaitForTick(2500));
        EXPECT_TRUE(monitor_.IsRunning());
    }

    ChildProcess monitor_;
};

TEST_F(DriverBindingTest, OpensTheUtilityOnceWithTwoZeroArguments)
{
    WantLamps();
    RunForAFewTicks();
    const auto opens = WithFunction(velutils_.Records(), "VuOpen");
    ASSERT_EQ(1u, opens.size());
    EXPECT_EQ(0u, opens[0].Number("a1"));
    EXPECT_EQ(0u, opens[0].Number("a2"));
    EXPECT_EQ(opens[0].Number("pid"), monitor_.Id());
    // Every driver call carries the handle VuOpen gave.
    for (const Record& call : velutils_.DriverCalls()) {
        EXPECT_EQ(opens[0].Number("result"), call.Number("handle"));
    }
}

TEST_F(DriverBindingTest, WithoutTheKeyOrValueNothingIsLoaded)
{
    WantLamps();
    UninstallDriverUtility();
    RunForAFewTicks();
    EXPECT_TRUE(velutils_.Records().empty());
    DeleteTree(HKEY_LOCAL_MACHINE, names::kSharedInfoKey);
    HaltAllInstances();
    RunForAFewTicks();
    EXPECT_TRUE(velutils_.Records().empty());
}

TEST_F(DriverBindingTest, APathThatIsNotAUsableStringLoadsNothing)
{
    WantLamps();
    const std::string path = velutils_.DllPath();
    // Wrong type, and a path to a library that does not exist.
    SetRaw(HKEY_LOCAL_MACHINE, names::kSharedDllsKey, names::kDriverPathValue, REG_BINARY,
           path.c_str(), static_cast<DWORD>(path.size() + 1));
    RunForAFewTicks();
    EXPECT_TRUE(velutils_.Records().empty());
    HaltAllInstances();
    SetString(HKEY_LOCAL_MACHINE, names::kSharedDllsKey, names::kDriverPathValue,
              FixturePath("velutils-absent\\VelUtils.dll"));
    RunForAFewTicks();
    EXPECT_TRUE(velutils_.Records().empty());
}

TEST_F(DriverBindingTest, WithoutTheCallExportNoLampCallIsMade)
{
    WantLamps();
    VelUtilsStandIn noCall("velutils-nocall");
    noCall.Install();
    RunForAFewTicks();
    const auto records = noCall.Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("VuOpen", records[0].Text("fn"));
}

TEST_F(DriverBindingTest, WithoutVuOpenTheHandleStaysZero)
{
    WantLamps();
    VelUtilsStandIn noOpen("velutils-noopen");
    noOpen.Install();
    RunForAFewTicks();
    const auto calls = noOpen.DriverCalls();
    ASSERT_FALSE(calls.empty());
    for (const Record& call : calls) {
        EXPECT_EQ(0u, call.Number("handle"));
    }
}

TEST_F(DriverBindingTest, WithoutVuCloseTheQuitPathStillUnloads)
{
    VelUtilsStandIn noClose("velutils-noclose");
    noClose.Install();
    StartMonitorOrFail(monitor_);
    ::SendMessageTimeoutA(FindMonitorWindow(monitor_.Id()), WM_QUIT, 0, 0, SMTO_NORMAL, 5000,
                          nullptr);
    ASSERT_TRUE(monitor_.WaitExit(10000).has_value());
    const auto records = noClose.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ("VuOpen", records.front().Text("fn"));
    EXPECT_EQ("Unloaded", records.back().Text("fn"));
}

}  // namespace
}  // namespace testsupport
