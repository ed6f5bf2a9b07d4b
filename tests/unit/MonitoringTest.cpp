// The catalogue, the change list, the InterVideo edition, executable
// recognition and the window scan, with windows this test makes itself.
#include <gtest/gtest.h>

#include "monitoring/AppCatalog.h"
#include "monitoring/ChangeReport.h"
#include "monitoring/ForegroundAnalysis.h"
#include "monitoring/WindowScan.h"
#include "settings/Settings.h"
#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/unit/TestWindow.h"

namespace tavrel {
namespace {

namespace names = testsupport::names;
using testsupport::TestWindow;
using Shape = TestWindow::Shape;

constexpr DWORD kClosed = 0x10000;
constexpr DWORD kOpen = 0x10001;
constexpr DWORD kTvSlot = 5;

TEST(AppCatalogTest, OnlyTheEntryWithIdOneIsRecorded)
{
    ResetAppCatalogForTest();
    BuildAppIdMap();
    for (size_t index = 0; index < kAppCount; ++index) {
        EXPECT_EQ(index == kTvSlot, IsTracked(index)) << index;
        SetAppState(index, kOpen);
    }
    AppStateArray expected = {};
    expected[kTvSlot] = kOpen;
    EXPECT_EQ(expected, CurrentAppStates());
    EXPECT_EQ(AppStateArray{}, PreviousAppStates());
    ResetAppCatalogForTest();
}

TEST(ChangeListTest, ListsChangedCodesInIndexOrderUpToEight)
{
    AppStateArray previous = {};
    AppStateArray current = {};
    EXPECT_EQ(0u, BuildChangeList(current, previous).count);

    current[7] = kOpen;
    current[2] = kClosed;
    ChangeList changes = BuildChangeList(current, previous);
    ASSERT_EQ(2u, changes.count);
    EXPECT_EQ(kClosed, changes.codes[0]);
    EXPECT_EQ(kOpen, changes.codes[1]);

    for (size_t index = 0; index < kAppCount; ++index) {
        current[index] = 0x10000 + static_cast<DWORD>(index);
        previous[index] = 0x20000;
    }
    changes = BuildChangeList(current, previous);
    ASSERT_EQ(8u, changes.count);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(0x10000u + i, changes.codes[i]);
    }
}

class ChangeReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppCatalogForTest();
        ResetSettingsForTest();
    }
    void TearDown() override
    {
        ResetAppCatalogForTest();
        ResetSettingsForTest();
    }
    testsupport::ScopedKey sharedInfo_{HKEY_LOCAL_MACHINE, names::kSharedInfoKey};
};

TEST_F(ChangeReportTest, WithoutTheLocationFlagNothingIsCommitted)
{
    BuildAppIdMap();
    SetAppState(kTvSlot, kOpen);
    ChangeReport();
    EXPECT_EQ(AppStateArray{}, PreviousAppStates());
}

TEST_F(ChangeReportTest, MoreThanEightChangesCommitAllTen)
{
    testsupport::SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation",
                          names::kLocationAtHome);
    FixLocationFlag();
    AppIdMapType everyEntry;
    for (DWORD index = 0; index < kAppCount; ++index) {
        everyEntry[index] = TrackedAppId;
    }
    ReplaceAppIdMapForTest(everyEntry);
    for (size_t index = 0; index < kAppCount; ++index) {
        SetAppState(index, kOpen);
    }
    ChangeReport();
    EXPECT_EQ(CurrentAppStates(), PreviousAppStates());
}

TEST(InterVideoEditionTest, MarksCountFromTheThirdByteOnly)
{
    struct {
        const char* path;
        size_t edition;
    } cases[] = {
        {"C:\\Program Files\\InterVideo\\DVD8\\", 3},
        {"C:\\Program Files\\InterVideo\\DVDBD8\\", 8},
        {"C:\\InterVideo\\DVDBD8\\DVD8", 3},  // both present: the DVD mark wins
        {"DVD8\\player", 0},                   // offset 0
        {"xDVD8", 0},                          // offset 1
        {"xyDVD8", 3},                         // offset 2
        {"DVD8\\DVDBD8", 8},                   // DVD8 at 0, DVDBD8 further on
        {"DVDBD8", 0},                         // BD mark at offset 0
        {"DVD8DVD8", 0},                       // only the first occurrence counts
        {"C:\\dvd8\\dvdbd8", 0},               // case-sensitive
        {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.edition, EditionFromPath(c.path)) << c.path;
    }
}

TEST(InterVideoEditionTest, ReadsThePathFromTheRegistry)
{
    const char* key = "Software\\InterVideo\\DVD8";
    testsupport::ScopedKey scoped(HKEY_LOCAL_MACHINE, key);
    EXPECT_EQ(0u, InterVideoEdition());
    testsupport::SetString(HKEY_LOCAL_MACHINE, key, "Path", "C:\\InterVideo\\DVDBD8\\");
    EXPECT_EQ(8u, InterVideoEdition());
    testsupport::SetString(HKEY_LOCAL_MACHINE, key, "Path", "C:\\InterVideo\\DVD8\\", REG_EXPAND_SZ);
    EXPECT_EQ(3u, InterVideoEdition());
    testsupport::SetDword(HKEY_LOCAL_MACHINE, key, "Path", 3);
    EXPECT_EQ(0u, InterVideoEdition());
}

TEST(ExecutableTest, NameIsTheTextAfterTheLastBackslash)
{
    EXPECT_STREQ("TVEnhance.exe",
                 ExecutableName("\\Device\\HarddiskVolume1\\Program Files\\TV\\TVEnhance.exe"));
    EXPECT_STREQ("wmplayer.exe", ExecutableName("wmplayer.exe"));
    EXPECT_STREQ("", ExecutableName("\\Device\\dir\\"));
    EXPECT_STREQ("", ExecutableName(""));
}

TEST(ExecutableTest, RecognisesExactNamesOnly)
{
    struct {
        const char* name;
        ForegroundApp app;
    } cases[] = {{"wmplayer.exe", ForegroundApp::MediaPlayer},
                 {"WinDVD.exe", ForegroundApp::WinDvd},
                 {"WinDVDBD.exe", ForegroundApp::WinDvd},
                 {"ehshell.exe", ForegroundApp::MediaCenter},
                 {"TVEnhance.exe", ForegroundApp::TvEnhance},
                 {"StationTVDigital.exe", ForegroundApp::StationTv},
                 {"EmotionalPlayerMain.exe", ForegroundApp::EmotionalPlayer},
                 {"WMPLAYER.EXE", ForegroundApp::None},
                 {"wmplayer.exe ", ForegroundApp::None},
                 {"tvenhance.exe", ForegroundApp::None},
                 {"", ForegroundApp::None}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.app, RecogniseExecutable(c.name)) << c.name;
    }
}

class WindowScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppCatalogForTest();
        BuildAppIdMap();
    }
    void TearDown() override { ResetAppCatalogForTest(); }

    DWORD TvSlotAfterScan()
    {
        WindowScan();
        return CurrentAppStates()[kTvSlot];
    }

    testsupport::ScopedKey remote_{HKEY_CURRENT_USER, names::kRemoteKeyKey};
};

TEST_F(WindowScanTest, TracksTheTvEnhanceWindowThroughItsLife)
{
    EXPECT_EQ(0u, TvSlotAfterScan()) << "never seen: never reported closed";
    {
        TestWindow tv("TVEnhance", "TV Enhance for QUORB");
        EXPECT_EQ(kOpen, TvSlotAfterScan());
        tv.Minimise();
        EXPECT_EQ(kClosed, TvSlotAfterScan());
        tv.Restore();
        EXPECT_EQ(kOpen, TvSlotAfterScan());
    }
    EXPECT_EQ(kClosed, TvSlotAfterScan());
    EXPECT_EQ(kClosed, TvSlotAfterScan());
}

TEST_F(WindowScanTest, NeedsBothTheClassAndTheTitle)
{
    TestWindow wrongClass("TVEnhanceOther", "TV Enhance for QUORB");
    TestWindow wrongTitle("TVEnhance", "TV Enhance");
    EXPECT_EQ(0u, TvSlotAfterScan());
}

TEST_F(WindowScanTest, MediaCenterFeedsTheTvSlotWhileTheRemoteKeySaysSo)
{
    TestWindow mediaCenter("eHome Render Window", "anything", Shape::Minimised);
    EXPECT_EQ(0u, TvSlotAfterScan()) << "without the remote key the media centre is not tracked";

    testsupport::SetDword(HKEY_CURRENT_USER, names::kRemoteKeyKey, "dwApplication4", 1);
    EXPECT_EQ(kClosed, TvSlotAfterScan());
    mediaCenter.Restore();
    {
        // The TV Enhance search is skipped in such a pass: its minimised
        // window does not count.
        TestWindow tv("TVEnhance", "TV Enhance for QUORB", Shape::Minimised);
        EXPECT_EQ(kOpen, TvSlotAfterScan());
    }
    mediaCenter.Destroy();
    EXPECT_EQ(kClosed, TvSlotAfterScan());
    AppStateArray expected = {};
    expected[kTvSlot] = kClosed;
    EXPECT_EQ(expected, CurrentAppStates()) << "no other slot is ever written";
}

}  // namespace
}  // namespace tavrel
