// Fault matrix, paths read while the monitor runs: the visualiser's
// ("AppPath", read at each appearance of the chat client) and the InterVideo
// player's ("Path", read every tick while its window is in front). A path
// that cannot be used ends what needed it silently; the monitor shows
// nothing and goes on ticking, and a usable path works again at the next
// occasion.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/support/VisualiserStandIn.h"
#include "tests/support/Wait.h"
#include "tests/system/faults/FaultMatrixTest.h"
#include "tests/system/faults/LampCalls.h"
#include "tests/system/faults/PathValues.h"

namespace testsupport::faults {
namespace {

constexpr const char* kVisualiserKey = "Software\\Velmora Corporation\\QUORB Mirelle";
constexpr const char* kVisualiserPathValue = "AppPath";
constexpr const char* kInterVideoKey = "Software\\InterVideo\\DVD8";
constexpr const char* kInterVideoPathValue = "Path";
// The DVD edition's installation, as the player records it.
constexpr const char* kDvdEditionPath = "C:\\Program Files\\InterVideo\\DVD8\\WinDVD.exe";

// ---------------------------------------------------------------------------
// The visualiser's path. The chat client's window is open when the monitor
// starts, so the first tick tries the launch: it fails without a trace, the
// appearance is spent (no retry once the path is mended, while the window
// stays), and the next appearance starts the visualiser once.

class VisualiserPathFaultTest : public FaultMatrixTest,
                                public ::testing::WithParamInterface<PathFault> {
protected:
    void SetUp() override
    {
        FaultMatrixTest::SetUp();
        ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation",
                             names::kLocationAtHome));
    }

    bool StartChat(FakeApp& chat)
    {
        return chat.Start(fakeapps::kChatClient, kChatClass, kChatTitle, WindowState::Normal,
                          Activation::Behind);
    }

    // The chat client's window goes for a tick and comes back.
    void ChatLeavesAndComesBack(FakeApp& chat)
    {
        ASSERT_TRUE(chat.End());
        WaitTicks(1);
        PumpFor(150);
        ASSERT_TRUE(StartChat(chat));
    }

    ScopedKey visualiserKey_{HKEY_LOCAL_MACHINE, kVisualiserKey};
    VisualiserStandIn visualiser_;
};

TEST_P(VisualiserPathFaultTest, NothingStartsNothingShowsAndTheNextAppearanceStartsIt)
{
    WritePathFault(HKEY_LOCAL_MACHINE, kVisualiserKey, kVisualiserPathValue, GetParam(),
                   VisualiserStandIn::Path());
    FakeApp chat;
    ASSERT_TRUE(StartChat(chat));
    StartMonitorAndWaitForATick();  // its launch fails
    WaitTicks(1);
    PumpFor(150);
    EXPECT_EQ(0u, MonitorDialogs()) << "the monitor showed: " << DescribeMonitorDialogs();
    EXPECT_TRUE(visualiser_.Starts().empty());

    visualiser_.Install();
    WaitTicks(1);
    PumpFor(150);
    EXPECT_TRUE(visualiser_.Starts().empty()) << "retried while the window stayed";

    ChatLeavesAndComesBack(chat);
    ASSERT_TRUE(visualiser_.WaitForStarts(1, kTickWaitMs));
    WaitTicks(1);
    EXPECT_EQ(1u, visualiser_.Starts().size());
    EXPECT_EQ(0u, MonitorDialogs());
}

INSTANTIATE_TEST_SUITE_P(VisualiserPath, VisualiserPathFaultTest,
                         ::testing::Values(PathFault::Nowhere, PathFault::Empty,
                                           PathFault::Unterminated, PathFault::TooLong,
                                           PathFault::TypeMultiString),
                         [](const ::testing::TestParamInfo<PathFault>& info) {
                             return std::string(PathFaultName(info.param));
                         });

TEST_F(VisualiserPathFaultTest, KeyDeletedWhileRunning)
{
    visualiser_.Install();
    FakeApp chat;
    ASSERT_TRUE(StartChat(chat));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(visualiser_.WaitForStarts(1, kTickWaitMs));

    ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE, kVisualiserKey));
    ChatLeavesAndComesBack(chat);
    WaitTicks(2);
    EXPECT_EQ(1u, visualiser_.Starts().size());
    EXPECT_EQ(0u, MonitorDialogs());

    visualiser_.Install();
    ChatLeavesAndComesBack(chat);
    ASSERT_TRUE(visualiser_.WaitForStarts(2, kTickWaitMs));
    WaitTicks(1);
    EXPECT_EQ(2u, visualiser_.Starts().size());
}

// ---------------------------------------------------------------------------
// The InterVideo player's path tells its edition; without a usable one a
// maximised player in front is not taken as full-screen playback, so the
// status lamp (following full-screen playback) goes off at the next tick,
// and on again at the tick after the path is usable.

struct EditionRow {
    const char* name;
    void (*spoil)();
};

const EditionRow kEditionRows[] = {
    {"WrongTypeBinary",
     [] {
         WritePathFault(HKEY_LOCAL_MACHINE, kInterVideoKey, kInterVideoPathValue,
                        PathFault::TypeBinary, kDvdEditionPath);
     }},
    {"TooLong",
     [] {
         WritePathFault(HKEY_LOCAL_MACHINE, kInterVideoKey, kInterVideoPathValue,
                        PathFault::TooLong, kDvdEditionPath);
     }},
    {"KeyDeletedWhileRunning", [] { DeleteTree(HKEY_LOCAL_MACHINE, kInterVideoKey); }},
};

// Rows show by name in test listings.
void PrintTo(const EditionRow& row, std::ostream* out) { *out << row.name; }

class EditionPathFaultTest : public FaultMatrixTest,
                             public ::testing::WithParamInterface<EditionRow> {
protected:
    bool WaitForLampWord(DWORD word) const
    {
        return WaitUntil([&] { return velutils_.LampWord() == word; }, kTickWaitMs);
    }

    ScopedKey interVideoKey_{HKEY_LOCAL_MACHINE, kInterVideoKey};
    LampCallCursor lampCalls_{velutils_};
};

TEST_P(EditionPathFaultTest, ThePlayerIsNotTakenAsFullScreenUntilThePathIsUsable)
{
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 0);
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInterVideoKey, kInterVideoPathValue,
                          kDvdEditionPath));
    FakeApp player;
    ASSERT_TRUE(player.Start(fakeapps::kWinDvd, "WinDVDClass", "InterVideo WinDVD",
                             WindowState::Maximised, Activation::Front));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForLampWord(2));

    AlignToTick();
    GetParam().spoil();
    ASSERT_TRUE(WaitForLampWord(0));
    WaitTicks(2);
    EXPECT_EQ(0u, velutils_.LampWord());

    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInterVideoKey, kInterVideoPathValue,
                          kDvdEditionPath));
    ASSERT_TRUE(WaitForLampWord(2));
    WaitTicks(1);
    PumpFor(150);
    EXPECT_EQ((LampCalls{"W2", "W0", "W2"}), WritesOf(lampCalls_.Since()));
}

INSTANTIATE_TEST_SUITE_P(InterVideoPath, EditionPathFaultTest, ::testing::ValuesIn(kEditionRows),
                         [](const ::testing::TestParamInfo<EditionRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace testsupport::faults
