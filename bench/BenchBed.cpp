#include "bench/BenchBed.h"

#include "bench/TimerProgramProtocol.h"
#include "tests/support/MonitorHarness.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/SystemNames.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

namespace bench {

namespace {

using testsupport::Activation;
using testsupport::FakeApp;
using testsupport::WindowState;
namespace names = testsupport::names;
namespace fakeapps = testsupport::fakeapps;

constexpr const char* kInterVideoKey = "Software\\InterVideo\\DVD8";
constexpr const char* kInterVideoPath = "C:\\Program Files\\InterVideo\\DVD8\\WinDVD.exe";
constexpr DWORD kLampFollowsPlayback = 0;
constexpr DWORD kWindowTimeoutMs = 15000;

struct OtherWindow {
    const char* executable;
    const char* windowClass;
    const char* title;
};

constexpr OtherWindow kOtherWindows[] = {
    {fakeapps::kMediaPlayer, "WMPlayerApp", "Windows Media Player"},
    {fakeapps::kWinDvd, "WinDVDClass", "InterVideo WinDVD"},
    {fakeapps::kMediaCenter, "eHome Render Window", "Windows Media Center"},
    {fakeapps::kOther, "BenchMailClass", "Inbox - Mail"},
    {fakeapps::kOther, "BenchEditorClass", "notes.txt - Editor"},
};

}  // namespace

BenchBed::BenchBed(bool withVisualiser)
    : programKey_(HKEY_LOCAL_MACHINE, names::kProgramKey),
      sharedInfo_(HKEY_LOCAL_MACHINE, names::kSharedInfoKey),
      remoteKey_(HKEY_CURRENT_USER, names::kRemoteKeyKey),
      interVideo_(HKEY_LOCAL_MACHINE, kInterVideoKey),
      uninstall_(HKEY_LOCAL_MACHINE, names::kUninstallKey)
{
    using testsupport::SetDword;
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", kLampFollowsPlayback);
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", kLampFollowsPlayback);
    SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome);
    testsupport::SetString(HKEY_LOCAL_MACHINE, kInterVideoKey, "Path", kInterVideoPath);
    // As after an installation: the key exists, so every tick opens it for
    // writing and deletes the two (already absent) owner values.
    testsupport::SetString(HKEY_LOCAL_MACHINE, names::kUninstallKey, "DisplayName", "QUORB");
    driver_.Install();
    events_.Register();
    if (withVisualiser) {
        visualiser_.Install();
    }
}

BenchBed::~BenchBed()
{
    others_.clear();
    testsupport::UninstallDriverUtility();
}

bool BenchBed::OpenOtherWindows()
{
    for (const OtherWindow& window : kOtherWindows) {
        auto app = std::make_unique<FakeApp>();
        if (!app->Start(window.executable, window.windowClass, window.title, WindowState::Normal,
                        Activation::Behind)) {
            return false;
        }
        others_.push_back(std::move(app));
    }
    return true;
}

MonitorRun::~MonitorRun() { Stop(); }

bool MonitorRun::Stop()
{
    window_ = nullptr;
    return testsupport::HaltAllInstances();
}

bool MonitorRun::Start(const char* winedebug)
{
    if (!testsupport::HaltAllInstances()) {
        return false;
    }
    std::optional<ScopedEnvironment> trace;
    if (winedebug != nullptr) {
        trace.emplace("WINEDEBUG", winedebug);
    }
    if (!testsupport::StartMonitor(process_)) {
        return false;
    }
    trace.reset();
    window_ = testsupport::FindMonitorWindow(process_.Id());
    return window_ != nullptr;
}

TimerProgramRun::TimerProgramRun(const char* program, const char* windowClass)
    : program_(program), windowClass_(windowClass)
{
}

TimerProgramRun::~TimerProgramRun()
{
    if (window_ != nullptr) {
        ::PostMessageA(window_, WM_CLOSE, 0, 0);
        process_.WaitExit(5000);
    }
}

bool TimerProgramRun::Start(const std::string& extraArguments)
{
    path_ = testsupport::TargetDirectory() + "\\bench\\" + program_ + ".exe";
    arguments_ = "bench-" + std::to_string(::GetCurrentProcessId());
    if (!extraArguments.empty()) {
        arguments_ += " " + extraArguments;
    }
    if (!process_.Start(testsupport::QuotedCommand(path_, arguments_))) {
        return false;
    }
    testsupport::WaitUntil(
        [&] {
            return (window_ = testsupport::FindTopLevelWindow(process_.Id(), windowClass_.c_str())) !=
                       nullptr ||
                   !process_.IsRunning();
        },
        kWindowTimeoutMs);
    return window_ != nullptr;
}

long TimerProgramRun::Ask(UINT request) const
{
    DWORD_PTR answer = 0;
    if (window_ == nullptr ||
        ::SendMessageTimeoutA(window_, request, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) == 0) {
        return -1;
    }
    return static_cast<long>(answer);
}

long TimerProgramRun::Ticks() const { return Ask(timer_program::kCountRequest); }

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name)
{
    const DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (size > 0) {
        std::string old(size, '\0');
        old.resize(::GetEnvironmentVariableA(name, &old[0], size));
        old_ = old;
    }
    ::SetEnvironmentVariableA(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    ::SetEnvironmentVariableA(name_.c_str(), old_ ? old_->c_str() : nullptr);
}

void IdleFor(DWORD milliseconds) { ::Sleep(milliseconds); }

}  // namespace bench
