// Base of the system tests: each test starts from a prefix where no
// instance runs, the stand-in driver utility is installed, and none of the
// program's settings exist; everything a test started is ended afterwards.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/MonitorHarness.h"
#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/support/TestPaths.h"
#include "tests/support/VelUtilsStandIn.h"

namespace testsupport {

class MonitorTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(HaltAllInstances()) << "an instance of an earlier test is still running";
        velutils_.Install();
    }

    void TearDown() override
    {
        EXPECT_TRUE(HaltAllInstances());
        UninstallDriverUtility();
    }

    // Starts the monitor and asserts that its window appeared.
    void StartMonitorOrFail(ChildProcess& process)
    {
        ASSERT_TRUE(StartMonitor(process)) << "monitor window did not appear";
    }

    // The same, handing out the monitor's window.
    void StartMonitorOrFail(ChildProcess& process, HWND& window)
    {
        StartMonitorOrFail(process);
        window = FindMonitorWindow(process.Id());
        ASSERT_NE(nullptr, window);
    }

    ScopedKey programKey_{HKEY_LOCAL_MACHINE, names::kProgramKey};
    ScopedKey sharedInfo_{HKEY_LOCAL_MACHINE, names::kSharedInfoKey};
    ScopedKey remoteKey_{HKEY_CURRENT_USER, names::kRemoteKeyKey};
    VelUtilsStandIn velutils_;
};

}  // namespace testsupport
