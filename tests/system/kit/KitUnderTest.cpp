#include "tests/system/kit/KitUnderTest.h"

#include <fstream>
#include <iterator>

#include "common/UniqueResource.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestPaths.h"

namespace testsupport::kit {

namespace {
constexpr DWORD kScriptTimeoutMs = 60000;
constexpr DWORD kImportTimeoutMs = 30000;

std::string SystemFolder(CommandProcessor processor)
{
    char folder[MAX_PATH] = {};
    if (processor == CommandProcessor::Native) {
        ::GetSystemDirectoryA(folder, MAX_PATH);
    } else {
        ::GetSystemWow64DirectoryA(folder, MAX_PATH);
    }
    return folder;
}

std::string TemporaryFile(const char* prefix)
{
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    ::GetTempFileNameA(folder, prefix, 0, path);
    return path;
}
}  // namespace

std::string KitFile(const std::string& name) { return KitDirectory() + "\\" + name; }

std::string KitVersion()
{
    const std::string folder = KitDirectory();
    const std::string name = folder.substr(folder.find_last_of('\\') + 1);
    const std::string head = "Tavrel-";
    const std::string tail = "-win32";
    if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
        return {};
    }
    return name.substr(head.size(), name.size() - head.size() - tail.size());
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    return static_cast<bool>(file.flush());
}

bool PathExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ScriptRun RunScript(CommandProcessor processor, const std::string& script,
                    const std::string& argument)
{
    // cmd /c drops the first and the last quote of what follows when it
    // holds more than one pair, so the whole line is quoted once more.
    std::string line = "\"" + KitFile(script) + "\"";
    if (!argument.empty()) {
        line += " \"" + argument + "\"";
    }
    const std::string command =
        QuotedCommand(SystemFolder(processor) + "\\cmd.exe", "/c \"" + line + "\"");

    // The script's output goes to a file of its own (never into a pipe the
    // test runner holds), read back for the test's messages.
    const std::string outputPath = TemporaryFile("kit");
    ScriptRun run;
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
        tavrel::UniqueFileHandle output(::CreateFileA(outputPath.c_str(), GENERIC_WRITE,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                      &inheritable, CREATE_ALWAYS,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ChildProcess cmd;
        if (!output.valid() || !cmd.StartInheriting(command, output.get())) {
            run.output = "cannot start " + command;
            return run;
        }
        run.exitCode = cmd.WaitExit(kScriptTimeoutMs);
    }
    run.output = command + "\n" + ReadWholeFile(outputPath).value_or("(no output file)");
    ::DeleteFileA(outputPath.c_str());
    return run;
}

bool ImportWith32BitRegistryEditor(const std::string& file)
{
    ChildProcess regedit;
    return regedit.Start(QuotedCommand(SystemFolder(CommandProcessor::Wow32) + "\\regedit.exe",
                                       "/s \"" + file + "\"")) &&
           regedit.WaitExit(kImportTimeoutMs).has_value();
}

std::string ProgramFilesOf32BitPrograms()
{
    char folder[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("ProgramFiles(x86)", folder, MAX_PATH) == 0) {
        ::GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
    }
    return folder;
}

}  // namespace testsupport::kit
