// The restart's pure parts: the command line it starts and the name rule of
// the system-information search; and which search route a closer takes.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "app/ProcessCloser.h"
#include "tests/support/MediaStatusStandIn.h"

namespace tavrel {
namespace {

TEST(ProcessCloserTest, AsciiCaseIsIgnoredAndNothingElse)
{
    EXPECT_TRUE(EqualIgnoringAsciiCase("ehmsas.exe", "EHMSAS.EXE"));
    EXPECT_TRUE(EqualIgnoringAsciiCase("EhMsAs.ExE", "ehmsas.exe"));
    EXPECT_TRUE(EqualIgnoringAsciiCase("", ""));
    EXPECT_FALSE(EqualIgnoringAsciiCase("ehmsas.exe", "ehmsas.ex"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("ehmsas.ex", "ehmsas.exe"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("ehmsas.exe ", "ehmsas.exe"));
    // '@' and '`' sit next to 'A' and 'a' but are not letters.
    EXPECT_FALSE(EqualIgnoringAsciiCase("@", "`"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("\xC4", "\xE4"));
}

TEST(ProcessCloserTest, CommandIsTheQuotedWindowsDirectoryPath)
{
    char command[MAX_PATH];
    ASSERT_TRUE(BuildMediaStatusCommand("C:\\windows", command));
    EXPECT_STREQ("\"C:\\windows//ehome//ehmsas.exe\"", command);
    ASSERT_TRUE(BuildMediaStatusCommand("C:\\Program Files\\Win", command));
    EXPECT_STREQ("\"C:\\Program Files\\Win//ehome//ehmsas.exe\"", command);
}

TEST(ProcessCloserTest, CommandThatWouldNotFitIsRefused)
{
    const size_t fixed = std::string("//ehome//ehmsas.exe").size() + 3;  // quotes and NUL
    char command[MAX_PATH];
    const std::string fits(MAX_PATH - fixed, 'd');
    EXPECT_TRUE(BuildMediaStatusCommand(fits.c_str(), command));
    EXPECT_EQ(MAX_PATH - 1, std::string(command).size());
    const std::string tooLong(MAX_PATH - fixed + 1, 'd');
    EXPECT_FALSE(BuildMediaStatusCommand(tooLong.c_str(), command));
    EXPECT_STREQ("", command);
    EXPECT_FALSE(BuildMediaStatusCommand("", command));
    EXPECT_FALSE(BuildMediaStatusCommand(nullptr, command));
}

TEST(ProcessCloserTest, RouteFollowsTheEntriesFound)
{
    ProcessCloser toolhelp;
    EXPECT_TRUE(toolhelp.HasToolhelpRoute());
    EXPECT_FALSE(toolhelp.HasSystemInfoRoute()) << "ntdll is only bound when Toolhelp is missing";

    ToolhelpExportNames missing;
    missing.next = "Process32NextMissing";
    ProcessCloser systemInfo(missing);
    EXPECT_FALSE(systemInfo.HasToolhelpRoute());
    EXPECT_TRUE(systemInfo.HasSystemInfoRoute());
}

TEST(ProcessCloserTest, NoProcessOfThatNameMeansNoClose)
{
    ToolhelpExportNames missing;
    missing.snapshot = "CreateToolhelp32SnapshotMissing";
    ProcessCloser toolhelp;
    ProcessCloser systemInfo(missing);
    for (ProcessCloser* closer : {&toolhelp, &systemInfo}) {
        EXPECT_FALSE(closer->CloseProcessByName("no-such-process.exe"));
    }
}

TEST(ProcessCloserTest, BothRoutesFindThisVeryProcess)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path);
    name = name.substr(name.find_last_of('\\') + 1);

    ToolhelpExportNames missing;
    missing.first = "Process32FirstMissing";
    ProcessCloser toolhelp;
    ProcessCloser systemInfo(missing);

    DWORD id = 0xDEADBEEF;
    UniqueHandle found = toolhelp.FindProcessToolhelp(name.c_str(), id);
    EXPECT_TRUE(found.valid());
    EXPECT_EQ(::GetCurrentProcessId(), id);

    std::string upper = name;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    id = 0xDEADBEEF;
    found = toolhelp.FindProcessToolhelp(upper.c_str(), id);
    EXPECT_FALSE(found.valid()) << "the Toolhelp route compares with case";
    EXPECT_EQ(0xDEADBEEFu, id);

    id = 0xDEADBEEF;
    found = systemInfo.FindProcessSystemInfo(upper.c_str(), id);
    EXPECT_TRUE(found.valid()) << "the system-information route ignores case";
    EXPECT_EQ(::GetCurrentProcessId(), id);
}

TEST(ProcessCloserTest, ACaseVariantIsClosedByTheSystemInformationRouteOnly)
{
    testsupport::MediaStatusStandIn status;
    status.SetBehaviour(testsupport::CloseBehaviour::EndsOnClose);
    testsupport::ChildProcess* variant = status.StartCaseVariant();
    ASSERT_NE(nullptr, variant);

    ProcessCloser toolhelp;
    EXPECT_FALSE(toolhelp.CloseProcessByName("ehmsas.exe"));
    EXPECT_TRUE(variant->IsRunning());

    ToolhelpExportNames missing;
    missing.snapshot = "CreateToolhelp32SnapshotMissing";
    ProcessCloser systemInfo(missing);
    EXPECT_TRUE(systemInfo.CloseProcessByName("ehmsas.exe"));
    const auto code = variant->WaitExit(1000);
    ASSERT_TRUE(code.has_value());
    const auto closes = status.CloseRecords();
    ASSERT_EQ(1u, closes.size());
    EXPECT_EQ("ended", closes[0].Text("action")) << "closed by request, not terminated";
}

TEST(ProcessCloserTest, SystemInformationRouteTerminatesAProcessIgnoringClose)
{
    testsupport::MediaStatusStandIn status;
    ASSERT_TRUE(status.Install());
    status.SetBehaviour(testsupport::CloseBehaviour::IgnoresClose);
    testsupport::ChildProcess* running = status.Start();
    ASSERT_NE(nullptr, running);
    ToolhelpExportNames missing;
    missing.first = "Process32FirstMissing";
    ProcessCloser systemInfo(missing);
    const DWORD started = ::GetTickCount();
    EXPECT_TRUE(systemInfo.CloseProcessByName("EHMSAS.EXE"));
    EXPECT_GE(::GetTickCount() - started, kCloseWaitMs - 200);
    const auto code = running->WaitExit(1000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
}

}  // namespace
}  // namespace tavrel
