// The visualiser is started once per appearance of the chat client's main
// window, with "/SkypeStart", from the path in the registry.
#include <gtest/gtest.h>

#include "tests/support/FakeApp.h"
#include "tests/support/MonitorTestBase.h"
#include "tests/support/VisualiserStandIn.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

using names::kChatClass;
constexpr const char* kVisualiserKey = "Software\\Velmora Corporation\\QUORB Mirelle";
constexpr DWORD kLaunchWaitMs = 3000;

class CompanionLaunchTest : public MonitorTestBase {
protected:
    void SetUp() override
    {
        MonitorTestBase::SetUp();
        SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome);
        visualiser_.Install();
    }

    bool StartChat(FakeApp& chat, const char* title = names::kChatTitle)
    {
        return chat.Start(fakeapps::kChatClient, kChatClass, title, WindowState::Normal,
                          Activation::Behind);
    }

    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            ticks_.Arm();
            ASSERT_TRUE(ticks_.WaitForTick(2500));
        }
    }

    ScopedKey visualiserKey_{HKEY_LOCAL_MACHINE, kVisualiserKey};
    VisualiserStandIn visualiser_;
    ChildProcess monitor_;
    TickProbe ticks_;
};

TEST_F(CompanionLaunchTest, OneLaunchPerAppearanceOfTheWindow)
{
    FakeApp chat;
    ASSERT_TRUE(StartChat(chat));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(visualiser_.WaitForStarts(1, kLaunchWaitMs)) << "no launch on the first tick";
    Ticks(3);
    auto starts = visualiser_.Starts();
    ASSERT_EQ(1u, starts.size()) << "the window stayed: no second launch";
    // The path as stored, then the argument.
    EXPECT_EQ("\"" + VisualiserStandIn::Path() + "\" /SkypeStart", starts[0].Text("cmdline"));

    ASSERT_TRUE(chat.End());
    Ticks(2);
    FakeApp again;
    ASSERT_TRUE(StartChat(again, "another title"));
    ASSERT_TRUE(visualiser_.WaitForStarts(2, kLaunchWaitMs)) << "no launch for the new appearance";
    Ticks(2);
    EXPECT_EQ(2u, visualiser_.Starts().size());
}

TEST_F(CompanionLaunchTest, TwoWindowsAtOnceAreOneAppearance)
{
    StartMonitorOrFail(monitor_);
    Ticks(1);
    FakeApp chat;
    ASSERT_TRUE(StartChat(chat));
    ASSERT_NE(nullptr, chat.OpenSecondWindow());
    ASSERT_TRUE(visualiser_.WaitForStarts(1, kLaunchWaitMs));
    // One of the two windows goes: the class is still present.
    ASSERT_TRUE(chat.CloseWindow(chat.Window()));
    Ticks(3);
    EXPECT_EQ(1u, visualiser_.Starts().size());
}

TEST_F(CompanionLaunchTest, AwayFromTheHomeLocationTheWindowIsNeverLookedFor)
{
    SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", 0);
    FakeApp chat;
    ASSERT_TRUE(StartChat(chat));
    StartMonitorOrFail(monitor_);
    Ticks(3);
    EXPECT_TRUE(visualiser_.Starts().empty());
}

TEST_F(CompanionLaunchTest, AnUnusablePathConsumesTheAppearance)
{
    for (bool absent : {true, false}) {
        HaltAllInstances();
        visualiser_.ClearRecords();
        if (absent) {
            DeleteValue(HKEY_LOCAL_MACHINE, kVisualiserKey, "AppPath");
        } else {
            SetDword(HKEY_LOCAL_MACHINE, kVisualiserKey, "AppPath", 1);
        }
        FakeApp chat;
        ASSERT_TRUE(StartChat(chat));
        StartMonitorOrFail(monitor_);
        Ticks(2);
        visualiser_.Install();
        Ticks(2);
        EXPECT_TRUE(visualiser_.Starts().empty()) << "retried while the window stayed";

        ASSERT_TRUE(chat.End());
        Ticks(2);
        FakeApp again;
        ASSERT_TRUE(StartChat(again));
        EXPECT_TRUE(visualiser_.WaitForStarts(1, kLaunchWaitMs));
    }
}

TEST_F(CompanionLaunchTest, AnExpandableStringIsHandedOnAsStored)
{
    // A folder literally named "%TAVREL_VISUALISER%" holds a copy of the
    // visualiser; the path names it through that text. The variable is not
    // defined for the monitor, so only a path passed on unchanged reaches
    // the copy. (With the variable defined, Wine 8's shell was seen to hang
    // in ShellExecuteExA itself, so that case cannot be run here.)
    ASSERT_TRUE(::SetEnvironmentVariableA("TAVREL_VISUALISER", nullptr) ||
                ::GetLastError() == ERROR_ENVVAR_NOT_FOUND);
    const std::string base =
        VisualiserStandIn::Path().substr(0, VisualiserStandIn::Path().find_last_of('\\'));
    const std::string literalDir = base + "\\%TAVREL_VISUALISER%";
    ::CreateDirectoryA(literalDir.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA(VisualiserStandIn::Path().c_str(),
                            (literalDir + "\\Mirelle.exe").c_str(), FALSE));
    const std::string literalRecords = literalDir + "\\Mirelle.starts.log";
    ClearRecords(literalRecords);

    SetString(HKEY_LOCAL_MACHINE, kVisualiserKey, "AppPath",
              literalDir + "\\Mirelle.exe", REG_EXPAND_SZ);
    FakeApp chat;
    ASSERT_TRUE(StartChat(chat));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitUntil([&] { return !ReadRecords(literalRecords).empty(); }, kLaunchWaitMs));
    const auto starts = ReadRecords(literalRecords);
    EXPECT_EQ("\"" + literalDir + "\\Mirelle.exe\" /SkypeStart", starts[0].Text("cmdline"));
    EXPECT_TRUE(visualiser_.Starts().empty());
}

}  // namespace
}  // namespace testsupport
