// The desktop of the run command (scripts/run.sh): sets up the stand-ins for
// the outside components, starts the monitor as the log-on does, and then
// plays the user: the tracked TV application opening, coming to the front,
// going full-screen, being minimised, restored and closed; the chat client
// coming and going; suspend and resume; console disconnect and connect; the
// halt. Either a fixed script or commands read from standard input, one per
// line, drive it.
//
//   RunDesktop.exe --script <rounds> <step ms>   (rounds 0: until "halt")
//   RunDesktop.exe --commands
//
// Commands: open front full minimise restore close chat-open chat-close
// suspend resume disconnect connect halt. "halt" (or the end of the input)
// ends the run with Tavrel.exe @@@HaltAll. In both modes standard input is
// read, so the run command can halt a scripted run too.
//
// Every step and what the desktop sees of the monitor (its ticks, its exit
// codes) goes to standard output as one record line, in the stand-ins'
// "key=value" form with the time it happened, for the run command's
// timeline.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "tests/fixtures/common/StandInRecorder.h"
#include "tests/support/EventServiceStandIn.h"
#include "tests/support/FakeApp.h"
#include "tests/support/MediaStatusStandIn.h"
#include "tests/support/MonitorHarness.h"
#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/support/VelUtilsStandIn.h"
#include "tests/support/VisualiserStandIn.h"
#include "tests/support/Wait.h"

namespace {

using namespace testsupport;
using testsupport::names::kChatClass;
using testsupport::names::kChatTitle;
using testsupport::names::kTvClass;
using testsupport::names::kTvTitle;

constexpr const char* kComponent = "desktop";
constexpr DWORD kStartTimeoutMs = 15000;
constexpr DWORD kTickPollMs = 5;

std::mutex g_outputLock;

void Emit(const std::string& fields,
          unsigned long long happenedAt = standin::NowMicroseconds())
{
    const std::lock_guard<std::mutex> lock(g_outputLock);
    std::printf("%s%s\n", standin::RecordPrefix(kComponent, happenedAt).c_str(),
                fields.c_str());
    std::fflush(stdout);
}

void Say(const std::string& text, bool done = true)
{
    Emit(" fn=Step" + standin::TextField("text", text) + standin::Field("ok", done ? 1 : 0));
}

// A step is on the timeline when it began: what the monitor does about it
// may come before the step has finished (a window is up before the program
// that opened it says so).
bool Step(const std::string& text, const std::function<bool()>& action)
{
    const unsigned long long began = standin::NowMicroseconds();
    const bool done = action();
    Emit(" fn=Step" + standin::TextField("text", text) + standin::Field("ok", done ? 1 : 0),
         began);
    return done;
}

// Lines of standard input, handed over one at a time; the end of the input
// counts as "halt".
class CommandQueue {
public:
    CommandQueue() : available_(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
    {
        std::thread([this] { ReadAll(); }).detach();
    }

    // The next command, or empty when none came within the time.
    std::string Next(DWORD timeoutMs)
    {
        ::WaitForSingleObject(available_.get(), timeoutMs);
        const std::lock_guard<std::mutex> lock(lock_);
        if (lines_.empty()) {
            return {};
        }
        std::string line = lines_.front();
        lines_.pop_front();
        if (!lines_.empty()) {
            ::SetEvent(available_.get());
        }
        return line;
    }

private:
    void ReadAll()
    {
        char line[256];
        while (std::fgets(line, sizeof(line), stdin) != nullptr) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r' ||
                                     text.back() == ' ')) {
                text.pop_back();
            }
            if (!text.empty()) {
                Push(text);
            }
        }
        Push("halt");
    }

    void Push(const std::string& line)
    {
        {
            const std::lock_guard<std::mutex> lock(lock_);
            lines_.push_back(line);
        }
        ::SetEvent(available_.get());
    }

    tavrel::UniqueHandle available_;
    std::mutex lock_;
    std::deque<std::string> lines_;
};

// Sees each tick of the monitor as the deletion of "RegOwner" from the
// installer's key (the tick's first step) and puts the value back.
class TickWatch {
public:
    TickWatch() : stop_(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        probe_.Arm();
        thread_ = std::thread([this] { Watch(); });
    }
    ~TickWatch()
    {
        ::SetEvent(stop_.get());
        thread_.join();
    }
    TickWatch(const TickWatch&) = delete;
    TickWatch& operator=(const TickWatch&) = delete;

private:
    void Watch()
    {
        unsigned count = 0;
        while (::WaitForSingleObject(stop_.get(), kTickPollMs) == WAIT_TIMEOUT) {
            if (!probe_.Armed()) {
                Emit(" fn=Tick" + standin::Field("n", ++count));
                probe_.Arm();
            }
        }
    }

    TickProbe probe_;
    tavrel::UniqueHandle stop_;
    std::thread thread_;
};

class Desktop {
public:
    bool SetUp()
    {
        velutils_.Install();
        if (!events_.Register()) {
            Say("event service stand-in could not be registered", false);
        }
        visualiser_.Install();
        // Both lamps follow full-screen playback; the notebook is at home.
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 0);
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", 0);
        SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation",
                 names::kLocationAtHome);
        SetString(HKEY_LOCAL_MACHINE, names::kUninstallKey, "RegCompany", "Velmora");
        // A media status process runs, so that the log-on shows its restart.
        const bool statusRunning = status_.Install() && status_.Start() != nullptr;
        Say("media status process running", statusRunning);
        return StartMonitorAtLogon();
    }

    // Performs one command; false for "halt".
    bool Perform(const std::string& command)
    {
        if (command == "halt") {
            return false;
        }
        const auto found = actions_.find(command);
        if (found == actions_.end()) {
            Say("unknown command: " + command, false);
            return true;
        }
        Step(found->second.description, found->second.action);
        return true;
    }

    void Halt()
    {
        ChildProcess halt;
        Step("Tavrel.exe @@@HaltAll", [&] { return StartTavrel(halt, "@@@HaltAll"); });
        ReportExit("halt", halt.Handle());
        ReportExit("monitor", monitor_.get());
        tv_.End();
        chat_.End();
    }

private:
    struct Action {
        const char* description;
        std::function<bool()> action;
    };

    bool StartMonitorAtLogon()
    {
        ChildProcess logon;
        Step("log-on: Tavrel.exe @@@StartFirstly",
             [&] { return StartTavrel(logon, "@@@StartFirstly"); });
        ReportExit("logon", logon.Handle());
        HWND window = nullptr;
        WaitUntil([&] { return (window = ::FindWindowA(names::kWindowClass, nullptr)) != nullptr; },
                  kStartTimeoutMs);
        if (window == nullptr) {
            Say("no monitor window appeared", false);
            return false;
        }
        window_ = window;
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        monitor_.reset(
            ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
        Emit(" fn=MonitorRunning" + standin::Field("monitor_pid", processId));
        return true;
    }

    void ReportExit(const char* process, HANDLE handle)
    {
        DWORD code = STILL_ACTIVE;
        if (handle != nullptr && ::WaitForSingleObject(handle, kStartTimeoutMs) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(handle, &code);
        }
        Emit(" fn=Exit" + standin::TextField("process", process) +
             standin::Field("code", code) +
             standin::Field("ended", code == STILL_ACTIVE ? 0 : 1));
    }

    bool Notify(UINT message, WPARAM event)
    {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutA(window_, message, event, 0, SMTO_NORMAL, 5000, &result) != 0;
    }

    bool OpenTv()
    {
        tv_.End();
        return tv_.Start(fakeapps::kTvEnhance, kTvClass, kTvTitle, WindowState::Normal,
                         Activation::Behind);
    }

    bool OpenChat()
    {
        chat_.End();
        return chat_.Start(fakeapps::kChatClient, kChatClass, kChatTitle, WindowState::Normal,
                           Activation::Behind);
    }

    VelUtilsStandIn velutils_;
    EventServiceStandIn events_;
    VisualiserStandIn visualiser_;
    MediaStatusStandIn status_;
    ScopedKey programKey_{HKEY_LOCAL_MACHINE, names::kProgramKey};
    ScopedKey sharedInfo_{HKEY_LOCAL_MACHINE, names::kSharedInfoKey};
    FakeApp tv_;
    FakeApp chat_;
    HWND window_ = nullptr;
    tavrel::UniqueHandle monitor_;

    const std::map<std::string, Action> actions_ = {
        {"open", {"TV Enhance window opens behind other windows", [this] { return OpenTv(); }}},
        {"front", {"TV Enhance comes to the front", [this] { return tv_.BringToFront(); }}},
        {"full", {"TV Enhance goes full-screen",
                  [this] { return tv_.SetState(WindowState::ScreenPopup); }}},
        {"minimise", {"TV Enhance is minimised", [this] { return tv_.Minimise(); }}},
        {"restore", {"TV Enhance is restored", [this] { return tv_.Restore(); }}},
        {"close", {"TV Enhance closes", [this] { return tv_.End(); }}},
        {"chat-open", {"chat client window opens", [this] { return OpenChat(); }}},
        {"chat-close", {"chat client closes", [this] { return chat_.End(); }}},
        {"suspend", {"system suspends (PBT_APMSUSPEND)",
                     [this] { return Notify(WM_POWERBROADCAST, PBT_APMSUSPEND); }}},
        {"resume", {"system resumes (PBT_APMRESUMEAUTOMATIC)",
                    [this] { return Notify(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC); }}},
        {"disconnect", {"console disconnects (WTS_CONSOLE_DISCONNECT)",
                        [this] { return Notify(WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT); }}},
        {"connect", {"console connects (WTS_CONSOLE_CONNECT)",
                     [this] { return Notify(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT); }}},
    };
};

// The steps of one round of the scripted run.
constexpr const char* kScript[] = {"open",      "front",      "full",  "minimise",
                                   "restore",   "chat-open",  "chat-close", "close"};

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "--commands";
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 0;
    const DWORD stepMs = argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 3000;

    CommandQueue commands;
    Desktop desktop;
    TickWatch ticks;
    if (!desktop.SetUp()) {
        desktop.Halt();
        return 1;
    }
    if (mode == "--script") {
        for (int round = 1; rounds == 0 || round <= rounds; ++round) {
            for (const char* step : kScript) {
                if (!desktop.Perform(step) || commands.Next(stepMs) == "halt") {
                    desktop.Halt();
                    return 0;
                }
            }
        }
        // The script is over; the run goes on until it is halted.
        while (commands.Next(INFINITE) != "halt") {
        }
    } else {
        for (;;) {
            const std::string command = commands.Next(INFINITE);
            if (!command.empty() && !desktop.Perform(command)) {
                break;
            }
        }
    }
    desktop.Halt();
    return 0;
}
