// Controls the VelUtils.dll stand-in from a test: which variant the
// registry points the programs at, what it answers, and what it recorded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/StandInRecords.h"

namespace testsupport {

class VelUtilsStandIn {
public:
    // variant: "velutils", "velutils-noclose", "velutils-noopen", "velutils-nocall".
    explicit VelUtilsStandIn(const std::string& variant = "velutils");
    ~VelUtilsStandIn();

    std::string DllPath() const;
    // Writes the DLL's path to the value the programs read.
    void Install() const;
    void Set(const char* name, DWORD value) const;
    DWORD LampWord() const;

    std::vector<Record> Records() const;
    std::vector<Record> DriverCalls() const;  // VuCallDriverDWORD records only
    void ClearRecords() const;

private:
    std::string variant_;
};

// Removes the driver path value, so the programs find no driver utility.
void UninstallDriverUtility();

}  // namespace testsupport
