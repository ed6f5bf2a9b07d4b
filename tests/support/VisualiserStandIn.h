// Controls the visualiser stand-in the monitor starts when the chat client's
// window appears: where it is, how long each start stays, and the starts it
// recorded (command line, process id, time). Instances still running when
// the object goes are ended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/StandInRecords.h"

namespace testsupport {

class VisualiserStandIn {
public:
    // Clears the linger time and any records left from before.
    VisualiserStandIn();
    ~VisualiserStandIn();
    VisualiserStandIn(const VisualiserStandIn&) = delete;
    VisualiserStandIn& operator=(const VisualiserStandIn&) = delete;

    // bin/fixtures/mirelle/Mirelle.exe
    static std::string Path();

    // Writes Path() as the REG_SZ value the monitor reads the visualiser's
    // path from; removed again when the object goes. Tests of other value
    // types or contents write the value themselves.
    void Install();

    // How long each start stays before it ends (default 0, at most 60 s).
    void SetLinger(DWORD milliseconds) const;

    std::vector<Record> Starts() const;
    // True once at least count starts are recorded.
    bool WaitForStarts(size_t count, DWORD timeoutMs) const;
    void ClearRecords() const;

    // Ends every recorded start that still runs.
    void EndRunning() const;

private:
    bool installed_ = false;
};

}  // namespace testsupport
