// Controls the media centre status process stand-in: installs it as
// ehmsas.exe in the Windows directory's ehome folder (where the log-on
// mode starts it again), chooses how it answers WM_CLOSE, starts instances,
// and reads back what every instance recorded. When the object goes, every
// instance still running (started by the test or by the program under
// test) is ended and the installed copy removed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/StandInRecords.h"

namespace testsupport {

enum class CloseBehaviour { EndsOnClose, IgnoresClose };

class MediaStatusStandIn {
public:
    static constexpr const char* kInstalledName = "ehmsas.exe";
    // Built in a folder of its own: its name differs only in case.
    static constexpr const char* kCaseVariantName = "EHMSAS.exe";

    // Clears the behaviour and any records left from before.
    MediaStatusStandIn();
    ~MediaStatusStandIn();
    MediaStatusStandIn(const MediaStatusStandIn&) = delete;
    MediaStatusStandIn& operator=(const MediaStatusStandIn&) = delete;

    // <Windows directory>\ehome\ehmsas.exe
    static std::string InstalledPath();
    static std::string CaseVariantPath();

    // Copies the stand-in to InstalledPath(), creating the folder.
    bool Install();
    // Ends the running instances, deletes the copy and its records.
    bool Uninstall();

    // Read by each instance at its start.
    void SetBehaviour(CloseBehaviour behaviour) const;

    // Starts one more instance of the installed copy (or of the case
    // variant) and waits until its window exists; null if it did not start.
    ChildProcess* Start();
    ChildProcess* StartCaseVariant();

    // Records of every instance, installed copy and case variant, in order.
    std::vector<Record> Records() const;
    std::vector<Record> Starts() const;       // fn=Start
    std::vector<Record> CloseRecords() const;  // fn=Close
    void ClearRecords() const;

    // The instance's hidden top-level window, or null.
    static HWND WindowOf(DWORD processId);

    // Ends every recorded instance that still runs, and those started here.
    void EndAll();

private:
    ChildProcess* StartFrom(const std::string& path);

    std::vector<std::unique_ptr<ChildProcess>> started_;
    bool installed_ = false;
};

}  // namespace testsupport
