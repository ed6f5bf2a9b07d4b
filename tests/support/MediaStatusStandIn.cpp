#include "tests/support/MediaStatusStandIn.h"

#include <algorithm>

#include "tests/fixtures/common/StandInRecorder.h"
#include "tests/fixtures/programs/RecordedProgramNames.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/Registry.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

namespace testsupport {

namespace {

constexpr DWORD kStartTimeoutMs = 15000;
constexpr DWORD kDeleteTimeoutMs = 5000;

std::string ConfigKey() { return standin::ConfigKey(standin::kMediaStatusComponent); }

std::string EhomeDirectory()
{
    char directory[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory, length < MAX_PATH ? length : 0) + "\\ehome";
}

std::string DirectoryOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

std::vector<std::string> RecordFiles()
{
    const std::string name = std::string("\\") + standin::kMediaStatusRecordFile;
    return {EhomeDirectory() + name,
            DirectoryOf(MediaStatusStandIn::CaseVariantPath()) + name};
}

// A file still in use by an ending process may not be deletable at once.
bool DeleteFileWithin(const std::string& path, DWORD timeoutMs)
{
    return WaitUntil(
        [&] {
            return ::DeleteFileA(path.c_str()) ||
                   ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
        },
        timeoutMs);
}

}  // namespace

MediaStatusStandIn::MediaStatusStandIn()
{
    DeleteTree(HKEY_CURRENT_USER, ConfigKey());
    ClearRecords();
}

MediaStatusStandIn::~MediaStatusStandIn()
{
    EndAll();
    if (installed_) {
        Uninstall();
    }
    ClearRecords();
    DeleteTree(HKEY_CURRENT_USER, ConfigKey());
}

std::string MediaStatusStandIn::InstalledPath()
{
    return EhomeDirectory() + "\\" + kInstalledName;
}

std::string MediaStatusStandIn::CaseVariantPath()
{
    return FixturePath(std::string("ehmsas-case\\") + kCaseVariantName);
}

bool MediaStatusStandIn::Install()
{
    ::CreateDirectoryA(EhomeDirectory().c_str(), nullptr);
    const std::string source = FixturePath(std::string("ehmsas\\") + kInstalledName);
    installed_ = ::CopyFileA(source.c_str(), InstalledPath().c_str(), FALSE) != FALSE;
    return installed_;
}

bool MediaStatusStandIn::Uninstall()
{
    EndAll();
    const bool deleted = DeleteFileWithin(InstalledPath(), kDeleteTimeoutMs);
    DeleteFileWithin(RecordFiles().front(), kDeleteTimeoutMs);
    // Only succeeds when the folder is empty, i.e. nothing else was in it.
    ::RemoveDirectoryA(EhomeDirectory().c_str());
    installed_ = false;
    return deleted;
}

void MediaStatusStandIn::SetBehaviour(CloseBehaviour behaviour) const
{
    SetDword(HKEY_CURRENT_USER, ConfigKey(), standin::kMediaStatusIgnoreCloseValue,
             behaviour == CloseBehaviour::IgnoresClose ? 1 : 0);
}

ChildProcess* MediaStatusStandIn::Start() { return StartFrom(InstalledPath()); }

ChildProcess* MediaStatusStandIn::StartCaseVariant() { return StartFrom(CaseVariantPath()); }

ChildProcess* MediaStatusStandIn::StartFrom(const std::string& path)
{
    auto process = std::make_unique<ChildProcess>();
    if (!process->Start(QuotedCommand(path, ""))) {
        return nullptr;
    }
    const DWORD id = process->Id();
    if (!WaitUntil([id] { return WindowOf(id) != nullptr; }, kStartTimeoutMs)) {
        return nullptr;  // the process ends with its owner here
    }
    started_.push_back(std::move(process));
    return started_.back().get();
}

std::vector<Record> MediaStatusStandIn::Records() const
{
    std::vector<Record> all;
    for (const std::string& file : RecordFiles()) {
        const auto records = ReadRecords(file);
        all.insert(all.end(), records.begin(), records.end());
    }
    // Both files share one sequence, kept in the registry.
    std::stable_sort(all.begin(), all.end(), [](const Record& a, const Record& b) {
        return a.Number("seq") < b.Number("seq");
    });
    return all;
}

std::vector<Record> MediaStatusStandIn::Starts() const { return WithFunction(Records(), "Start"); }

std::vector<Record> MediaStatusStandIn::CloseRecords() const
{
    return WithFunction(Records(), "Close");
}

void MediaStatusStandIn::ClearRecords() const
{
    for (const std::string& file : RecordFiles()) {
        testsupport::ClearRecords(file);
    }
}

HWND MediaStatusStandIn::WindowOf(DWORD processId)
{
    return FindTopLevelWindow(processId, standin::kMediaStatusWindowClass);
}

void MediaStatusStandIn::EndAll()
{
    // Compared without case, the name covers the case variant too; the
    // recorded module path is not used, as a program may start the copy
    // through a path with forward slashes.
    for (const Record& start : Starts()) {
        EndProcessWithImage(static_cast<DWORD>(start.Number("pid")), kInstalledName);
    }
    started_.clear();  // each ends its own process by handle
}

}  // namespace testsupport
