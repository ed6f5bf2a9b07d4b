// LoadSettings and the two probes against the prefix's real registry.
#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"

namespace tavrel {
namespace {

namespace names = testsupport::names;
using testsupport::DeleteTree;
using testsupport::DeleteValue;
using testsupport::ScopedKey;
using testsupport::SetDword;
using testsupport::SetRaw;
using testsupport::SetString;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettingsForTest(); }
    void TearDown() override { ResetSettingsForTest(); }

    ScopedKey program_{HKEY_LOCAL_MACHINE, names::kProgramKey};
    ScopedKey location_{HKEY_LOCAL_MACHINE, names::kSharedInfoKey};
    ScopedKey remoteUser_{HKEY_CURRENT_USER, names::kRemoteKeyKey};
    ScopedKey remoteMachine_{HKEY_LOCAL_MACHINE, names::kRemoteKeyKey};
};

TEST_F(SettingsTest, WithoutTheProgramKeyBothModesStayUnset)
{
    LoadSettings();
    LoadSettings();
    EXPECT_EQ(-1, StatusMode());
    EXPECT_EQ(-1, LogoMode());
}

TEST_F(SettingsTest, ValuesAreReadAfreshAndAMissingValueBecomesUnset)
{
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 2);
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", 0);
    LoadSettings();
    EXPECT_EQ(2, StatusMode());
    EXPECT_EQ(0, LogoMode());

    DeleteValue(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode");
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", 1);
    LoadSettings();
    EXPECT_EQ(-1, StatusMode());
    EXPECT_EQ(1, LogoMode());
}

TEST_F(SettingsTest, MalformedValuesBecomeUnset)
{
    const DWORD four = 1;
    const unsigned long long eight = 1;
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 1);
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", 1);
    LoadSettings();
    ASSERT_EQ(1, LogoMode());

    struct {
        DWORD type;
        const void* data;
        DWORD size;
    } malformed[] = {{REG_SZ, "1", 2}, {REG_BINARY, &four, 4}, {REG_QWORD, &eight, 8},
                     {REG_DWORD, &four, 2}, {REG_DWORD, &four, 0}};
    for (const auto& value : malformed) {
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", 1);
        LoadSettings();
        SetRaw(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", value.type, value.data,
               value.size);
        LoadSettings();
        EXPECT_EQ(-1, LogoMode()) << "type " << value.type << " size " << value.size;
        EXPECT_EQ(1, StatusMode());
    }
}

TEST_F(SettingsTest, ADeletedKeyKeepsTheLastValues)
{
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 0);
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", 2);
    LoadSettings();
    ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE, names::kProgramKey));
    LoadSettings();
    EXPECT_EQ(0, StatusMode());
    EXPECT_EQ(2, LogoMode());
}

TEST_F(SettingsTest, ProbeLocationWantsTheDword4316)
{
    const unsigned long long wide = names::kLocationAtHome;
    EXPECT_EQ(0, ProbeLocation());
    SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome);
    EXPECT_EQ(1, ProbeLocation());
    SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome + 1);
    EXPECT_EQ(0, ProbeLocation());
    SetString(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", "4316");
    EXPECT_EQ(0, ProbeLocation());
    SetRaw(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", REG_QWORD, &wide, 8);
    EXPECT_EQ(0, ProbeLocation());
}

TEST_F(SettingsTest, LocationFlagIsFixedWhenAskedAndNotAfterwards)
{
    SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome);
    EXPECT_EQ(0, LocationFlag());
    FixLocationFlag();
    EXPECT_EQ(1, LocationFlag());
    DeleteTree(HKEY_LOCAL_MACHINE, names::kSharedInfoKey);
    EXPECT_EQ(1, LocationFlag());
    EXPECT_EQ(0, ProbeLocation());
}

TEST_F(SettingsTest, RemoteKeyIsReadFromTheCurrentUserOnly)
{
    EXPECT_EQ(0, RemoteKeyApp4Active());
    SetDword(HKEY_LOCAL_MACHINE, names::kRemoteKeyKey, "dwApplication4", 1);
    EXPECT_EQ(0, RemoteKeyApp4Active());
    SetDword(HKEY_CURRENT_USER, names::kRemoteKeyKey, "dwApplication4", 2);
    EXPECT_EQ(0, RemoteKeyApp4Active());
    SetDword(HKEY_CURRENT_USER, names::kRemoteKeyKey, "dwApplication4", 1);
    EXPECT_EQ(1, RemoteKeyApp4Active());
}

}  // namespace
}  // namespace tavrel
