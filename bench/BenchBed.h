// The test bed of every bench phase: the stand-ins installed where the
// monitor looks for them, the settings of a notebook at its home location,
// a desktop of watched and unwatched windows, and the monitor itself.
// Everything is ended and removed again when the objects go.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/EventServiceStandIn.h"
#include "tests/support/FakeApp.h"
#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/support/VelUtilsStandIn.h"
#include "tests/support/VisualiserStandIn.h"

namespace bench {

// The tracked application and the chat client as the monitor knows them,
// from the tests' names rather than the product.
namespace bed_names = testsupport::names;

// The monitor ticks once a second; the first ticks after its start report
// the window and re-read the lamp word, so steady state begins after these.
constexpr DWORD kTickMs = 1000;
constexpr DWORD kWarmUpMs = 10000;

class BenchBed {
public:
    // Lamp modes 0 (both lamps follow full-screen playback), location 4316
    // (events and the chat-client companion on), the stand-in driver
    // utility and event service; the visualiser stand-in when asked.
    explicit BenchBed(bool withVisualiser);
    ~BenchBed();
    BenchBed(const BenchBed&) = delete;
    BenchBed& operator=(const BenchBed&) = delete;

    // Opens the other windows, all behind: a media player (watched by
    // title), the InterVideo player and the media centre (watched by class;
    // they make the monitor read the player's edition and the remote key),
    // and two programs nobody watches. True when all came up.
    bool OpenOtherWindows();
    size_t OtherWindowCount() const { return others_.size(); }

    testsupport::VelUtilsStandIn& Driver() { return driver_; }
    testsupport::EventServiceStandIn& Events() { return events_; }
    testsupport::VisualiserStandIn& Visualiser() { return visualiser_; }

private:
    testsupport::ScopedKey programKey_;
    testsupport::ScopedKey sharedInfo_;
    testsupport::ScopedKey remoteKey_;
    testsupport::ScopedKey interVideo_;
    testsupport::ScopedKey uninstall_;
    testsupport::VelUtilsStandIn driver_;
    testsupport::EventServiceStandIn events_;
    testsupport::VisualiserStandIn visualiser_;
    std::vector<std::unique_ptr<testsupport::FakeApp>> others_;
};

// One monitor instance for a phase: "@@@Start" after making sure no other
// instance runs, "@@@HaltAll" when the object goes.
class MonitorRun {
public:
    MonitorRun() = default;
    ~MonitorRun();
    MonitorRun(const MonitorRun&) = delete;
    MonitorRun& operator=(const MonitorRun&) = delete;

    bool Start();
    bool IsRunning() const { return process_.IsRunning(); }
    HANDLE Handle() const { return process_.Handle(); }
    DWORD Id() const { return process_.Id(); }
    HWND Window() const { return window_; }

private:
    testsupport::ChildProcess process_;
    HWND window_ = nullptr;
};

// The baseline program, started with a tag that makes its command line
// unique; closed when the object goes.
class BaselineRun {
public:
    BaselineRun() = default;
    ~BaselineRun();
    BaselineRun(const BaselineRun&) = delete;
    BaselineRun& operator=(const BaselineRun&) = delete;

    bool Start();
    HANDLE Handle() const { return process_.Handle(); }
    const std::string& Path() const { return path_; }
    const std::string& Arguments() const { return arguments_; }
    // Its own count of timer calls, or -1 when it does not answer.
    long Ticks() const;

private:
    testsupport::ChildProcess process_;
    std::string path_;
    std::string arguments_;
    HWND window_ = nullptr;
};

// Runs the given milliseconds without pumping or polling, so that the
// driver itself adds nothing to a measurement.
void IdleFor(DWORD milliseconds);

}  // namespace bench
