// A scripted user for the run command: drives the stand-in applications
// through the changes the monitor watches (the tracked TV application
// opening, coming to the front, going full-screen, being minimised and
// closed; the chat client opening), printing each step as it makes it.
//
// Usage: DesktopScenario.exe [rounds] [step milliseconds]   (rounds 0: forever)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/FakeApp.h"
#include "tests/support/SystemNames.h"

namespace {

using testsupport::Activation;
using testsupport::FakeApp;
using testsupport::WindowState;
namespace fakeapps = testsupport::fakeapps;

using testsupport::names::kChatClass;
using testsupport::names::kChatTitle;
using testsupport::names::kTvClass;
using testsupport::names::kTvTitle;

void Say(const std::string& text)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    std::printf("%02u:%02u:%02u  desktop  %s\n", now.wHour, now.wMinute, now.wSecond, text.c_str());
    std::fflush(stdout);
}

struct Step {
    const char* description;
    std::function<bool()> action;
};

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 0;
    const DWORD stepMs = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 3000;

    FakeApp tv;
    FakeApp chat;
    const std::vector<Step> steps = {
        {"TV Enhance window opens behind other windows",
         [&] { return tv.Start(fakeapps::kTvEnhance, kTvClass, kTvTitle, WindowState::Normal,
                               Activation::Behind); }},
        {"TV Enhance comes to the front", [&] { return tv.BringToFront(); }},
        {"TV Enhance goes full-screen", [&] { return tv.SetState(WindowState::ScreenPopup); }},
        {"TV Enhance is minimised", [&] { return tv.Minimise(); }},
        {"TV Enhance is restored", [&] { return tv.Restore(); }},
        {"chat client window opens",
         [&] { return chat.Start(fakeapps::kChatClient, kChatClass, kChatTitle, WindowState::Normal,
                                 Activation::Behind); }},
        {"chat client closes", [&] { return chat.End(); }},
        {"TV Enhance closes", [&] { return tv.End(); }},
    };

    for (int round = 1; rounds == 0 || round <= rounds; ++round) {
        for (const Step& step : steps) {
            Say(std::string(step.description) + (step.action() ? "" : "  (failed)"));
            ::Sleep(stepMs);
        }
    }
    return 0;
}
