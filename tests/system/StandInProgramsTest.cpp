// What the monitor's tests rely on from the stand-in programs, checked on
// the test display under Wine: window states and titles as another process
// sees them, which window is in front and under which executable name, the
// status process stand-in's two answers to WM_CLOSE, and the visualiser
// stand-in's record of a shell start.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "tests/support/FakeApp.h"
#include "tests/support/MediaStatusStandIn.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/VisualiserStandIn.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

constexpr DWORD kExitTimeoutMs = 5000;

SIZE ScreenSize() { return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

enum class Client { ScreenSized, GivenSize, NotScreenSized, NotChecked };

struct StateCase {
    const char* name;
    WindowState state;
    SIZE clientSize;
    bool iconic;
    bool maximised;
    Client client;
};

std::vector<StateCase> StateCases()
{
    return {
        {"normal", WindowState::Normal, {}, false, false, Client::NotScreenSized},
        {"minimised", WindowState::Minimised, {}, true, false, Client::NotChecked},
        // Without a window manager a maximised window keeps its size.
        {"maximised", WindowState::Maximised, {}, false, true, Client::NotScreenSized},
        {"popup", WindowState::ScreenPopup, {}, false, false, Client::ScreenSized},
        {"sized to the screen", WindowState::Sized, ScreenSize(), false, false,
         Client::ScreenSized},
        {"sized 400x300", WindowState::Sized, {400, 300}, false, false, Client::GivenSize},
    };
}

const StateCase& CaseNamed(const std::vector<StateCase>& cases, const std::string& name)
{
    for (const StateCase& stateCase : cases) {
        if (name == stateCase.name) {
            return stateCase;
        }
    }
    throw std::invalid_argument(name);
}

// The window as the monitor examines it: IsIconic, and GetWindowInfo's
// style and client rectangle.
void ExpectWindowIn(HWND window, const StateCase& expected)
{
    SCOPED_TRACE(expected.name);
    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetWindowInfo(window, &info));
    EXPECT_TRUE(info.dwStyle & WS_VISIBLE);
    EXPECT_EQ(expected.iconic, ::IsIconic(window) != FALSE);
    EXPECT_EQ(expected.maximised, (info.dwStyle & WS_MAXIMIZE) != 0);
    const LONG width = info.rcClient.right - info.rcClient.left;
    const LONG height = info.rcClient.bottom - info.rcClient.top;
    const SIZE screen = ScreenSize();
    switch (expected.client) {
    case Client::ScreenSized:
        EXPECT_EQ(screen.cx, width);
        EXPECT_EQ(screen.cy, height);
        break;
    case Client::GivenSize:
        EXPECT_EQ(expected.clientSize.cx, width);
        EXPECT_EQ(expected.clientSize.cy, height);
        break;
    case Client::NotScreenSized:
        EXPECT_FALSE(width == screen.cx && height == screen.cy) << width << "x" << height;
        break;
    case Client::NotChecked:
        break;
    }
}

class FakeAppTest : public ::testing::Test {
protected:
    // A window in front that the windows under test must leave there.
    void StartForegroundReference()
    {
        ASSERT_TRUE(reference_.Start(fakeapps::kOther, "ReferenceApp", "Reference",
                                     WindowState::Normal, Activation::Front));
        ASSERT_EQ(reference_.Window(), ::GetForegroundWindow());
    }

    FakeApp reference_;
};

TEST_F(FakeAppTest, StartsInEachStateWithoutTakingTheFront)
{
    StartForegroundReference();
    for (const StateCase& stateCase : StateCases()) {
        FakeApp app;
        ASSERT_TRUE(app.Start(fakeapps::kStationTv, "StationTvWindow", "StationTV Digital",
                              stateCase.state, Activation::Behind, stateCase.clientSize))
            << stateCase.name;
        EXPECT_EQ(app.Window(), ::FindWindowA(nullptr, "StationTV Digital")) << stateCase.name;
        ExpectWindowIn(app.Window(), stateCase);
        EXPECT_EQ(reference_.Window(), ::GetForegroundWindow()) << stateCase.name;
        EXPECT_TRUE(app.End()) << stateCase.name;
    }
}

TEST_F(FakeAppTest, StateRequestsChangeTheWindowWithoutTakingTheFront)
{
    StartForegroundReference();
    FakeApp app;
    ASSERT_TRUE(
        app.Start(fakeapps::kTvEnhance, "TVEnhance", "TVEnhance", WindowState::Normal,
                  Activation::Behind));
    const auto cases = StateCases();
    // Into and out of every state.
    const char* const sequence[] = {"maximised", "popup", "minimised", "sized to the screen",
                                    "maximised", "sized 400x300", "popup", "normal",
                                    "minimised", "popup", "normal"};
    for (const char* name : sequence) {
        const StateCase& stateCase = CaseNamed(cases, name);
        ASSERT_TRUE(app.SetState(stateCase.state, stateCase.clientSize)) << name;
        ExpectWindowIn(app.Window(), stateCase);
        EXPECT_EQ(reference_.Window(), ::GetForegroundWindow()) << name;
    }
}

TEST_F(FakeAppTest, AWindowStartedInFrontIsForegroundUnderItsCopysName)
{
    const char* const executables[] = {
        fakeapps::kTvEnhance, fakeapps::kMediaCenter,     fakeapps::kMediaPlayer,
        fakeapps::kWinDvd,    fakeapps::kWinDvdBd,        fakeapps::kStationTv,
        fakeapps::kEmotionalPlayer, fakeapps::kOther,     fakeapps::kChatClient,
        fakeapps::kMediaPlayerUpperCase,
    };
    for (const char* executable : executables) {
        FakeApp app;
        ASSERT_TRUE(app.Start(executable, "MediaWindow", "Media", WindowState::ScreenPopup,
                              Activation::Front))
            << executable;
        const HWND foreground = ::GetForegroundWindow();
        EXPECT_EQ(app.Window(), foreground) << executable;
        // Exactly, case included, as the monitor compares it.
        EXPECT_EQ(executable, ProcessImageName(WindowProcessId(foreground)));
        EXPECT_TRUE(app.End()) << executable;
    }
}

TEST_F(FakeAppTest, AMinimisedWindowStaysTheForegroundWindow)
{
    FakeApp startedMinimised;
    ASSERT_TRUE(startedMinimised.Start(fakeapps::kMediaPlayer, "WMPlayerApp",
                                       "Windows Media Player", WindowState::Minimised,
                                       Activation::Front));
    EXPECT_EQ(startedMinimised.Window(), ::GetForegroundWindow());
    EXPECT_TRUE(::IsIconic(startedMinimised.Window()));
    startedMinimised.End();

    FakeApp minimisedLater;
    ASSERT_TRUE(minimisedLater.Start(fakeapps::kMediaPlayer, "WMPlayerApp",
                                     "Windows Media Player", WindowState::Maximised,
                                     Activation::Front));
    ASSERT_EQ(minimisedLater.Window(), ::GetForegroundWindow());
    ASSERT_TRUE(minimisedLater.Minimise());
    EXPECT_EQ(minimisedLater.Window(), ::GetForegroundWindow());
    EXPECT_TRUE(::IsIconic(minimisedLater.Window()));
}

TEST_F(FakeAppTest, BringToFrontMovesTheForegroundBetweenPrograms)
{
    FakeApp first;
    FakeApp second;
    ASSERT_TRUE(first.Start(fakeapps::kWinDvd, "WinDVDClass", "Player", WindowState::Normal,
                            Activation::Front));
    ASSERT_TRUE(second.Start(fakeapps::kEmotionalPlayer, "EmotionalWindow", "Emotional Player",
                             WindowState::Normal, Activation::Behind));
    EXPECT_EQ(first.Window(), ::GetForegroundWindow());
    EXPECT_TRUE(second.BringToFront());
    EXPECT_EQ(second.Window(), ::GetForegroundWindow());
    EXPECT_TRUE(first.BringToFront());
    EXPECT_EQ(first.Window(), ::GetForegroundWindow());
    // Once the foreground program has ended, its window is not in front.
    const HWND ended = first.Window();
    EXPECT_TRUE(first.End());
    EXPECT_NE(ended, ::GetForegroundWindow());
    EXPECT_FALSE(::IsWindow(ended));
}

TEST_F(FakeAppTest, TitlesAreFoundExactlyBeforeAndAfterAChange)
{
    const std::string unusual = "100% \"Quoted\"  two blanks";
    FakeApp app;
    ASSERT_TRUE(app.Start(fakeapps::kTvEnhance, "TVEnhance", unusual, WindowState::Normal,
                          Activation::Behind));
    EXPECT_EQ(app.Window(), ::FindWindowA("TVEnhance", unusual.c_str()));

    ASSERT_TRUE(app.SetTitle("TV Enhance for QUORB"));
    EXPECT_EQ(app.Window(), ::FindWindowA("TVEnhance", "TV Enhance for QUORB"));
    EXPECT_EQ(nullptr, ::FindWindowA(nullptr, unusual.c_str()));

    ASSERT_TRUE(app.SetTitle(""));
    char text[260] = "junk";
    EXPECT_EQ(0, ::GetWindowTextA(app.Window(), text, sizeof(text)));
    EXPECT_STREQ("", text);

    FakeApp untitled;
    ASSERT_TRUE(untitled.Start(fakeapps::kMediaPlayer, "WMPlayerApp", "", WindowState::Normal,
                               Activation::Behind));
    EXPECT_EQ(0, ::GetWindowTextLengthA(untitled.Window()));
}

TEST_F(FakeAppTest, ASecondWindowOfTheClassComesAndGoesOnRequest)
{
    const std::string chatClass = "tSkMainForm.UnicodeClass";
    FakeApp chat;
    ASSERT_TRUE(chat.Start(fakeapps::kChatClient, chatClass, "Chat", WindowState::Normal,
                           Activation::Behind));
    const HWND second = chat.OpenSecondWindow();
    ASSERT_NE(nullptr, second);
    EXPECT_NE(chat.Window(), second);
    EXPECT_EQ(2u, TopLevelWindows(chat.ProcessId(), chatClass).size());

    ASSERT_TRUE(chat.CloseWindow(second));
    EXPECT_EQ(1u, TopLevelWindows(chat.ProcessId(), chatClass).size());
    EXPECT_TRUE(chat.IsRunning());
    EXPECT_EQ(chat.Window(), ::FindWindowA(chatClass.c_str(), nullptr));

    EXPECT_TRUE(chat.Close()) << "closing the last window ends the program with exit code 0";
    EXPECT_EQ(nullptr, ::FindWindowA(chatClass.c_str(), nullptr));
}

class MediaStatusStandInTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(status_.Install()); }

    MediaStatusStandIn status_;
};

TEST_F(MediaStatusStandInTest, EachBehaviourAnswersCloseAsChosen)
{
    struct {
        CloseBehaviour behaviour;
        bool ends;
        const char* action;
    } const cases[] = {{CloseBehaviour::EndsOnClose, true, "ended"},
                       {CloseBehaviour::IgnoresClose, false, "ignored"}};
    for (const auto& behaviourCase : cases) {
        SCOPED_TRACE(behaviourCase.action);
        status_.ClearRecords();
        status_.SetBehaviour(behaviourCase.behaviour);
        ChildProcess* closed = status_.Start();
        ChildProcess* untouched = status_.Start();
        ASSERT_NE(nullptr, closed);
        ASSERT_NE(nullptr, untouched);

        const auto starts = status_.Starts();
        ASSERT_EQ(2u, starts.size());
        EXPECT_EQ(closed->Id(), starts[0].Number("pid"));
        EXPECT_EQ(untouched->Id(), starts[1].Number("pid"));
        EXPECT_EQ(QuotedCommand(MediaStatusStandIn::InstalledPath(), ""), starts[0].Text("cmdline"));
        EXPECT_EQ(behaviourCase.ends ? 0u : 1u, starts[0].Number("ignore_close"));

        ASSERT_TRUE(::PostMessageA(MediaStatusStandIn::WindowOf(closed->Id()), WM_CLOSE, 0, 0));
        ASSERT_TRUE(WaitUntil([&] { return status_.CloseRecords().size() == 1; }, kExitTimeoutMs));
        EXPECT_EQ(behaviourCase.action, status_.CloseRecords()[0].Text("action"));
        EXPECT_EQ(closed->Id(), status_.CloseRecords()[0].Number("pid"));
        if (behaviourCase.ends) {
            const auto code = closed->WaitExit(kExitTimeoutMs);
            ASSERT_TRUE(code.has_value());
            EXPECT_EQ(0u, *code);
        } else {
            EXPECT_FALSE(closed->WaitExit(1000).has_value());
            EXPECT_NE(nullptr, MediaStatusStandIn::WindowOf(closed->Id()));
        }
        EXPECT_TRUE(untouched->IsRunning());
        status_.EndAll();
    }
}

// The process list names each instance by its own file name, case included.
TEST_F(MediaStatusStandInTest, TheProcessListNamesTheCaseVariantAsWritten)
{
    ChildProcess* installed = status_.Start();
    ChildProcess* variant = status_.StartCaseVariant();
    ASSERT_NE(nullptr, installed);
    ASSERT_NE(nullptr, variant);

    tavrel::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    ASSERT_TRUE(snapshot.valid());
    std::string installedName;
    std::string variantName;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
         more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == installed->Id()) {
            installedName = entry.szExeFile;
        } else if (entry.th32ProcessID == variant->Id()) {
            variantName = entry.szExeFile;
        }
    }
    EXPECT_EQ(MediaStatusStandIn::kInstalledName, installedName);
    EXPECT_EQ(MediaStatusStandIn::kCaseVariantName, variantName);
}

// Started by the shell as the monitor starts it: the record holds the
// started process's id and its command line with the argument, and the
// shell call returns while a lingering start still runs.
TEST(VisualiserStandInTest, RecordsAShellStartAndNeverHoldsTheShellUp)
{
    VisualiserStandIn visualiser;
    const std::string path = VisualiserStandIn::Path();
    for (const DWORD linger : {0ul, 4000ul}) {
        SCOPED_TRACE(linger);
        visualiser.ClearRecords();
        visualiser.SetLinger(linger);
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpFile = path.c_str();
        info.lpParameters = "/SkypeStart";
        info.nShow = SW_SHOW;
        const DWORD before = ::GetTickCount();
        ASSERT_TRUE(::ShellExecuteExA(&info));
        const DWORD callMs = ::GetTickCount() - before;
        tavrel::UniqueHandle process(info.hProcess);
        ASSERT_TRUE(process.valid());
        EXPECT_LT(callMs, 2000u);

        ASSERT_TRUE(visualiser.WaitForStarts(1, kExitTimeoutMs));
        const auto starts = visualiser.Starts();
        ASSERT_EQ(1u, starts.size());
        EXPECT_EQ(::GetProcessId(process.get()), starts[0].Number("pid"));
        const std::string commandLine = starts[0].Text("cmdline");
        ASSERT_GE(commandLine.size(), 12u) << commandLine;
        EXPECT_NE(std::string::npos, commandLine.find(path)) << commandLine;
        EXPECT_EQ(" /SkypeStart", commandLine.substr(commandLine.size() - 12)) << commandLine;

        if (linger != 0) {
            EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(process.get(), 0));
        }
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.get(), linger + kExitTimeoutMs));
    }
}

}  // namespace
}  // namespace testsupport
