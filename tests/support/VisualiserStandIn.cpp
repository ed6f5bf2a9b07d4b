#include "tests/support/VisualiserStandIn.h"

#include "tests/fixtures/common/StandInRecorder.h"
#include "tests/fixtures/programs/RecordedProgramNames.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/Registry.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

namespace testsupport {

namespace {

// Where the monitor reads the visualiser's path (HKLM), written out here
// rather than taken from the product, like the names in SystemNames.h.
constexpr const char* kVisualiserKey = "Software\\Velmora Corporation\\QUORB Mirelle";
constexpr const char* kVisualiserPathValue = "AppPath";
constexpr const char* kVisualiserImage = "Mirelle.exe";

std::string ConfigKey() { return standin::ConfigKey(standin::kVisualiserComponent); }

std::string RecordFile() { return FixturePath(std::string("mirelle\\") + standin::kVisualiserRecordFile); }

}  // namespace

VisualiserStandIn::VisualiserStandIn()
{
    DeleteTree(HKEY_CURRENT_USER, ConfigKey());
    ClearRecords();
}

VisualiserStandIn::~VisualiserStandIn()
{
    EndRunning();
    if (installed_) {
        DeleteTree(HKEY_LOCAL_MACHINE, kVisualiserKey);
    }
    DeleteTree(HKEY_CURRENT_USER, ConfigKey());
}

std::string VisualiserStandIn::Path()
{
    return FixturePath(std::string("mirelle\\") + kVisualiserImage);
}

void VisualiserStandIn::Install()
{
    installed_ = SetString(HKEY_LOCAL_MACHINE, kVisualiserKey, kVisualiserPathValue, Path());
}

void VisualiserStandIn::SetLinger(DWORD milliseconds) const
{
    SetDword(HKEY_CURRENT_USER, ConfigKey(), standin::kVisualiserLingerValue, milliseconds);
}

std::vector<Record> VisualiserStandIn::Starts() const
{
    return WithFunction(ReadRecords(RecordFile()), "Start");
}

bool VisualiserStandIn::WaitForStarts(size_t count, DWORD timeoutMs) const
{
    return WaitUntil([&] { return Starts().size() >= count; }, timeoutMs);
}

void VisualiserStandIn::ClearRecords() const { testsupport::ClearRecords(RecordFile()); }

void VisualiserStandIn::EndRunning() const
{
    for (const Record& start : Starts()) {
        EndProcessWithImage(static_cast<DWORD>(start.Number("pid")), kVisualiserImage);
    }
}

}  // namespace testsupport
