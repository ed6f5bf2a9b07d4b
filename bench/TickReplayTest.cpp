// The replay program of the leg under test (bench/TickReplay.cpp, 32-bit on
// the i686 leg) makes every function a call list may name, with the
// arguments and slots as listed: a list whose results this test predicts
// (a key, a window and a process of its own) comes back without one
// mismatch, tick after tick, and a wrong expectation is counted where it is.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <set>

#include "bench/BenchBed.h"
#include "bench/Report.h"
#include "bench/TickCalls.h"
#include "bench/TimerProgramProtocol.h"
#include "tests/support/Registry.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"
#include "tests/unit/TestWindow.h"

namespace bench {
namespace {

constexpr const char* kKey = "Software\\TavrelBench\\ReplayTest";
constexpr const char* kWindowClass = "TavrelBenchReplayTestWindow";
constexpr const char* kWindowTitle = "replayed window";
constexpr DWORD kTicksTimeoutMs = 6000;

std::string Hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%lx", value);
    return text;
}

class TickReplayTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testsupport::SetDword(HKEY_CURRENT_USER, kKey, "Value", 7)); }
    void TearDown() override { testsupport::DeleteTree(HKEY_CURRENT_USER, "Software\\TavrelBench"); }

    // Every function of the signatures, its result as this process sees it
    // (its window must exist already).
    std::string PredictableList()
    {
        char path[MAX_PATH] = {};
        const DWORD pathLength =
            ::GetProcessImageFileNameA(::GetCurrentProcess(), path, MAX_PATH);
        const HWND front = ::GetForegroundWindow();
        return std::string("advapi32.RegOpenKeyExA 0x80000001 \"") + tickcalls::Escape(kKey) +
               "\" 0x0 0x2001f out:h1 = 0x0\n"
               "advapi32.RegQueryValueExA h1 \"Value\" null buf buf size:4 = 0x0\n"
               "advapi32.RegQueryValueExA h1 \"Value\" null buf buf size:2 = " +
               Hex(ERROR_MORE_DATA) +
               "\n"
               "advapi32.RegDeleteValueA h1 \"Missing\" = 0x2\n"
               "advapi32.RegCloseKey h1 = 0x0\n"
               "user32.FindWindowA \"" + kWindowClass + "\" null -> h2\n"
               "user32.IsIconic h2 = 0x0\n"
               "user32.GetWindowTextA h2 buf 0x104 = " + Hex(std::strlen(kWindowTitle)) + "\n"
               "user32.GetWindowInfo h2 buf = 0x1\n"
               "user32.GetSystemMetrics 0x0 = " + Hex(::GetSystemMetrics(SM_CXSCREEN)) + "\n"
               "user32.GetWindowThreadProcessId h2 out:h3 -> h4\n"
               "KERNEL32.OpenProcess 0x400 0x0 h3 -> h5\n"
               "psapi.GetProcessImageFileNameA h5 buf 0x104 = " + Hex(pathLength) + "\n"
               "KERNEL32.CloseHandle h5 = 0x1\n"
               "user32.GetForegroundWindow -> " + (front != nullptr ? "h6" : "null") + "\n";
    }

    // Runs the replay on the list until it has ticked twice; answers its
    // mismatches and the first one's place.
    std::pair<long, long> Replay(const std::string& list)
    {
        const std::string file = testsupport::TestProgramDirectory() + "\\replay-test-calls.txt";
        EXPECT_TRUE(WriteTextFile(file, list));
        TimerProgramRun replay("TickReplay", timer_program::kReplayClass);
        EXPECT_TRUE(replay.Start(file)) << "exit code " << replay.ExitCode().value_or(0);
        EXPECT_TRUE(testsupport::WaitUntil([&] { return replay.Ticks() >= 2; }, kTicksTimeoutMs));
        const std::pair<long, long> answer = {replay.Ask(timer_program::kMismatchRequest),
                                              replay.Ask(timer_program::kFirstMismatchRequest)};
        ::DeleteFileA(file.c_str());
        return answer;
    }
};

TEST_F(TickReplayTest, EveryListedCallComesBackAsPredictedAndAWrongOneIsCountedWhereItIs)
{
    const testsupport::TestWindow window(kWindowClass, kWindowTitle);
    const std::string list = PredictableList();
    const auto parsed = tickcalls::ParseList(list, nullptr);
    ASSERT_TRUE(parsed.has_value());
    std::set<std::string> listed;
    for (const tickcalls::Call& call : *parsed) {
        listed.insert(call.function);
    }
    for (const tickcalls::Signature& signature : tickcalls::AllSignatures()) {
        EXPECT_EQ(1u, listed.count(signature.function)) << signature.function << " is not tried";
    }

    EXPECT_EQ(std::make_pair(0L, 0L), Replay(list));

    // The window query's result (call 7) said to be iconic: counted on both ticks.
    std::string wrong = list;
    const std::string iconic = "user32.IsIconic h2 = 0x0";
    wrong.replace(wrong.find(iconic), iconic.size(), "user32.IsIconic h2 = 0x1");
    const auto answer = Replay(wrong);
    EXPECT_GE(answer.first, 2);
    EXPECT_EQ(7, answer.second);
}

}  // namespace
}  // namespace bench
