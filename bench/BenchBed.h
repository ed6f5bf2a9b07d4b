// The test bed of every bench phase: the stand-ins installed where the
// monitor looks for them, the settings of a notebook at its home location,
// a desktop of watched and unwatched windows, and the monitor itself.
// Everything is ended and removed again when the objects go.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
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

    // winedebug: WINEDEBUG for the monitor alone (the halt before it
    // starts is not traced).
    bool Start(const char* winedebug = nullptr);
    // Halts it (and any other instance) now.
    bool Stop();
    bool IsRunning() const { return process_.IsRunning(); }
    HANDLE Handle() const { return process_.Handle(); }
    DWORD Id() const { return process_.Id(); }
    HWND Window() const { return window_; }

private:
    testsupport::ChildProcess process_;
    HWND window_ = nullptr;
};

// One of the programs the monitor is set against (bench/TimerProgramProtocol.h),
// from the bench folder of the build under test, so that each leg compares
// the monitor with programs built like it. Started with a tag that makes
// its command line unique; closed when the object goes.
class TimerProgramRun {
public:
    TimerProgramRun(const char* program, const char* windowClass);
    ~TimerProgramRun();
    TimerProgramRun(const TimerProgramRun&) = delete;
    TimerProgramRun& operator=(const TimerProgramRun&) = delete;

    // extraArguments follow the tag.
    bool Start(const std::string& extraArguments = "");
    HANDLE Handle() const { return process_.Handle(); }
    DWORD Id() const { return process_.Id(); }
    const std::string& Path() const { return path_; }
    const std::string& Arguments() const { return arguments_; }
    // The exit code once it has ended (it ends at once on a bad start).
    std::optional<DWORD> ExitCode() const { return process_.WaitExit(0); }
    // Its answer to a request, or -1 when it does not answer.
    long Ask(UINT request) const;
    // Its own count of timer calls, or -1.
    long Ticks() const;

private:
    std::string program_;
    std::string windowClass_;
    testsupport::ChildProcess process_;
    std::string path_;
    std::string arguments_;
    HWND window_ = nullptr;
};

// Sets an environment variable of this process for the programs it starts
// while the object lives (Wine hands WINEDEBUG on to the Linux side of a
// started program); the old value comes back when it goes.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Runs the given milliseconds without pumping or polling, so that the
// driver itself adds nothing to a measurement.
void IdleFor(DWORD milliseconds);

}  // namespace bench
