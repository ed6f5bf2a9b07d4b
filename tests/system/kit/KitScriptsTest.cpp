// install.cmd and uninstall.cmd of the kit under Wine's command processors,
// as an administrator runs them: the files they copy and remove, the log-on
// value they write and remove (which, run as the log-on runs it, starts the
// installed monitor), and a running monitor halted first, without which
// the running program file could not be replaced or deleted.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/UniqueResource.h"
#include "tests/support/MonitorTestBase.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/Wait.h"
#include "tests/system/kit/KitUnderTest.h"

namespace testsupport::kit {
namespace {

// Where the log-on start goes, in the 32-bit view of the registry (the
// monitor's), whichever command processor ran the script.
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Tavrel";
constexpr const char* kInstalledFiles[] = {"Tavrel.exe", "Brisolt.dll"};
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kHaltTimeoutMs = 10000;

std::string ParentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// A monitor some other process started, watched through a handle of its own.
class StartedMonitor {
public:
    // Waits for the monitor window and opens its process; false on time-out.
    bool Find()
    {
        HWND window = nullptr;
        WaitUntil([&] { return (window = ::FindWindowA(names::kWindowClass, nullptr)) != nullptr; },
                  kStartTimeoutMs);
        process_.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     WindowProcessId(window)));
        return process_.valid();
    }

    std::string ImagePath() const
    {
        char path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        return ::QueryFullProcessImageNameA(process_.get(), 0, path, &size) ? path : "";
    }

    // True when it ended within the time with exit code 0, as a halt ends it.
    bool EndedByHalt() const
    {
        DWORD code = 0xDEADBEEF;
        return ::WaitForSingleObject(process_.get(), kHaltTimeoutMs) == WAIT_OBJECT_0 &&
               ::GetExitCodeProcess(process_.get(), &code) && code == 0;
    }

private:
    tavrel::UniqueHandle process_;
};

class KitScriptsTest : public MonitorTestBase {
protected:
    void SetUp() override
    {
        MonitorTestBase::SetUp();
        RemoveInstallations();
    }

    void TearDown() override
    {
        MonitorTestBase::TearDown();
        RemoveInstallations();
    }

    // Whatever an earlier run left in either folder the tests install to.
    void RemoveInstallations() const
    {
        DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
        for (const std::string& folder : {DefaultFolder(), std::string(kGivenFolder)}) {
            for (const char* file : kInstalledFiles) {
                ::DeleteFileA((folder + "\\" + file).c_str());
            }
            ::RemoveDirectoryA(folder.c_str());
            ::RemoveDirectoryA(ParentOf(folder).c_str());
        }
    }

    static std::string DefaultFolder() { return ProgramFilesOf32BitPrograms() + "\\Velmora\\Tavrel"; }

    void ExpectInstalledFiles(const std::string& folder) const
    {
        for (const char* file : kInstalledFiles) {
            const auto installed = ReadWholeFile(folder + "\\" + file);
            ASSERT_TRUE(installed.has_value()) << folder << "\\" << file << " missing";
            EXPECT_TRUE(*installed == ReadWholeFile(KitFile(file)).value_or(""))
                << folder << "\\" << file << " is not the kit's";
        }
    }

    // Runs the Run value's command line as the log-on does: the log-on mode
    // ends with 0 and leaves a monitor started from the installed copy.
    void StartAsAtLogon(const std::string& folder, StartedMonitor& monitor) const
    {
        const auto command = ReadString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
        ASSERT_TRUE(command.has_value());
        ChildProcess logon;
        ASSERT_TRUE(logon.Start(*command)) << *command;
        EXPECT_EQ(0u, logon.WaitExit(kStartTimeoutMs).value_or(0xDEADBEEF));
        ASSERT_TRUE(monitor.Find()) << "no monitor after " << *command;
        EXPECT_EQ(0, ::lstrcmpiA((folder + "\\Tavrel.exe").c_str(), monitor.ImagePath().c_str()))
            << monitor.ImagePath();
    }

    // Install, install again over the running monitor, uninstall while it
    // runs; argument is the folder given to both scripts, or empty.
    void InstallReplaceAndUninstall(CommandProcessor processor, const std::string& argument,
                                    const std::string& folder, bool parentGoesToo)
    {
        ScriptRun run = RunScript(processor, "install.cmd", argument);
        ASSERT_EQ(0u, run.exitCode.value_or(0xDEADBEEF)) << run.output;
        ExpectInstalledFiles(folder);
        EXPECT_EQ("\"" + folder + "\\Tavrel.exe\" @@@StartFirstly",
                  ReadString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue).value_or("(none)"));

        StartedMonitor first;
        StartAsAtLogon(folder, first);
        // A file that is not in use is replaced as well as the running one.
        ASSERT_TRUE(WriteWholeFile(folder + "\\Brisolt.dll", "an older library"));
        run = RunScript(processor, "install.cmd", argument);
        ASSERT_EQ(0u, run.exitCode.value_or(0xDEADBEEF)) << run.output;
        EXPECT_TRUE(first.EndedByHalt()) << run.output;
        ExpectInstalledFiles(folder);

        StartedMonitor second;
        StartAsAtLogon(folder, second);
        run = RunScript(processor, "uninstall.cmd", argument);
        ASSERT_EQ(0u, run.exitCode.value_or(0xDEADBEEF)) << run.output;
        EXPECT_TRUE(second.EndedByHalt()) << run.output;
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
        EXPECT_FALSE(PathExists(folder)) << run.output;
        EXPECT_NE(parentGoesToo, PathExists(ParentOf(folder))) << run.output;
    }

    static constexpr const char* kGivenFolder = "C:\\Tavrel kit test\\Velmora (Tavrel)";
};

// As on 64-bit Windows by a double click: the 64-bit command processor, the
// folder the scripts choose (with blanks and brackets in its name).
TEST_F(KitScriptsTest, DefaultFolderUnderThe64BitCommandProcessor)
{
    InstallReplaceAndUninstall(CommandProcessor::Native, "", DefaultFolder(), true);
}

// A folder given, with blanks and brackets too, whose parent the script must
// make and then leave; the 32-bit command processor.
TEST_F(KitScriptsTest, GivenFolderUnderThe32BitCommandProcessor)
{
    InstallReplaceAndUninstall(CommandProcessor::Wow32, kGivenFolder, kGivenFolder, false);
}

}  // namespace
}  // namespace testsupport::kit
