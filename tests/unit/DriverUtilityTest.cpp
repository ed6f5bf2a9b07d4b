// The driver-utility binding and the lamp controller in this process,
// against the VelUtils.dll stand-in.
#include <gtest/gtest.h>

#include "lamp/DriverUtility.h"
#include "lamp/LampController.h"
#include "settings/Settings.h"
#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/support/VelUtilsStandIn.h"

namespace tavrel {
namespace {

namespace names = testsupport::names;

class DriverUtilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDriverUtilityForTest();
        ResetLampControllerForTest();
        ResetSettingsForTest();
        velutils_.Install();
    }
    void TearDown() override
    {
        ResetDriverUtilityForTest();
        ResetLampControllerForTest();
        ResetSettingsForTest();
    }

    void BindOpenProbe()
    {
        BindDriverUtility();
        OpenDriverUtility();
        FixLampAvailable();
    }

    testsupport::ScopedKey program_{HKEY_LOCAL_MACHINE, names::kProgramKey};
    testsupport::ScopedKey sharedInfo_{HKEY_LOCAL_MACHINE, names::kSharedInfoKey};
    testsupport::VelUtilsStandIn velutils_;
};

TEST_F(DriverUtilityTest, NothingReachesTheUtilityAfterTheQuitPathUnloadedIt)
{
    testsupport::SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 2);
    LoadSettings();
    BindOpenProbe();
    ASSERT_EQ(1, LampAvailable());
    ApplyLampPolicy(0);
    const size_t before = velutils_.Records().size();
    ASSERT_GT(before, 2u);

    CloseAndUnloadDriverUtility();
    const auto afterQuit = velutils_.Records();
    ASSERT_EQ(before + 2, afterQuit.size());
    EXPECT_EQ("VuClose", afterQuit[before].Text("fn"));
    EXPECT_EQ("Unloaded", afterQuit[before + 1].Text("fn"));

    // LampAvailable stays 1, yet a later pass and a new bind do nothing.
    EXPECT_EQ(1, LampAvailable());
    ResetLampCache();
    ResetLampRefreshCount();
    ApplyLampPolicy(1);
    BindDriverUtility();
    OpenDriverUtility();
    ApplyLampPolicy(1);
    EXPECT_FALSE(DriverCallBound());
    EXPECT_EQ(afterQuit.size(), velutils_.Records().size());
}

TEST_F(DriverUtilityTest, ProbeAnswersFromCapabilityAndPresence)
{
    struct {
        DWORD capability;
        DWORD presence;
        int available;
        size_t calls;  // 137 alone, or 137 and 136
    } cases[] = {{280, 0, 1, 1}, {0, 0, 1, 1}, {1, 3, 1, 2}, {1, 1, 1, 2},
                 {1, 2, 1, 2},   {1, 4, 0, 2}, {1, 0, 0, 2}};
    for (const auto& c : cases) {
        ResetDriverUtilityForTest();
        velutils_.ClearRecords();
        velutils_.Set("CapabilityWord", c.capability);
        velutils_.Set("PresenceMask", c.presence);
        BindOpenProbe();
        EXPECT_EQ(c.available, LampAvailable()) << c.capability << "/" << c.presence;
        const auto calls = velutils_.DriverCalls();
        ASSERT_EQ(c.calls, calls.size()) << c.capability << "/" << c.presence;
        EXPECT_EQ(137u, calls[0].Number("code"));
        EXPECT_EQ(280u, calls[0].Number("word_in"));
        if (c.calls == 2) {
            EXPECT_EQ(136u, calls[1].Number("code"));
            EXPECT_EQ(0u, calls[1].Number("word_in"));
        }
    }
}

TEST_F(DriverUtilityTest, WithoutTheCallExportLampsAreUnavailableAndNothingIsCalled)
{
    testsupport::VelUtilsStandIn noCall("velutils-nocall");
    noCall.Install();
    testsupport::SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 2);
    LoadSettings();
    BindOpenProbe();
    EXPECT_EQ(0, LampAvailable());
    ApplyLampPolicy(1);
    const auto records = noCall.Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("VuOpen", records[0].Text("fn"));
}

TEST_F(DriverUtilityTest, BindingTwiceLoadsOnce)
{
    BindDriverUtility();
    BindDriverUtility();
    OpenDriverUtility();
    EXPECT_EQ(0x2Au, DriverHandle());
    CloseAndUnloadDriverUtility();
    // One unload means one load reference was taken.
    EXPECT_EQ(1u, testsupport::WithFunction(velutils_.Records(), "Unloaded").size());
    HMODULE still = ::GetModuleHandleA(velutils_.DllPath().c_str());
    EXPECT_EQ(nullptr, still);
}

}  // namespace
}  // namespace tavrel
