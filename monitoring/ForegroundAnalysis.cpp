#include "monitoring/ForegroundAnalysis.h"

#include <mbstring.h>
#include <psapi.h>

#include "common/UniqueResource.h"
#include "lamp/LampController.h"
#include "monitoring/AppCatalog.h"
#include "monitoring/FullScreenTests.h"
#include "monitoring/WindowScan.h"
#include "settings/Settings.h"

namespace tavrel {

namespace {

constexpr DWORD kImagePathCapacity = 260;

struct ExecutableEntry {
    const char* name;
    ForegroundApp app;
};

// In the order they are compared.
constexpr ExecutableEntry kAppExecutables[] = {
    {"wmplayer.exe", ForegroundApp::MediaPlayer},
    {"WinDVD.exe", ForegroundApp::WinDvd},
    {"ehshell.exe", ForegroundApp::MediaCenter},
    {"TVEnhance.exe", ForegroundApp::TvEnhance},
    {"WinDVDBD.exe", ForegroundApp::WinDvd},
    {"StationTVDigital.exe", ForegroundApp::StationTv},
    {"EmotionalPlayerMain.exe", ForegroundApp::EmotionalPlayer},
};

struct ImagePath {
    char text[kImagePathCapacity] = {};
};

// The image path of the window's process, in the kernel's device form; an
// empty path when the process cannot be opened or asked.
bool ReadForegroundImagePath(HWND window, ImagePath& path) noexcept
{
    DWORD processId = 0;
    if (::GetWindowThreadProcessId(window, &processId) == 0) {
        processId = 0;
    }
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, TRUE, processId));
    if (!process.valid()) {
        return false;
    }
    if (::GetProcessImageFileNameA(process.get(), path.text, kImagePathCapacity) == 0) {
        path.text[0] = '\0';
    }
    return true;
}

// Edition 3: each InterVideo main window that exists is marked.
void MarkWinDvdWindows(int flag) noexcept
{
    const struct {
        const char* title;
        size_t index;
    } windows[] = {{AppTitles[AppWinDvdQuorb], AppWinDvdQuorb},
                   {fullscreen_names::kWinDvd5Title, AppWinDvd7},
                   {AppTitles[AppWinDvd], AppWinDvd}};
    for (const auto& entry : windows) {
        if (::FindWindowA(nullptr, entry.title) != nullptr) {
            MarkForeground(flag, entry.index);
        }
    }
}

int AnalyseRecognised(ForegroundApp app, HWND window) noexcept
{
    int flag = 0;
    switch (app) {
    case ForegroundApp::MediaPlayer:
        flag = MediaPlayerFullScreen(window);
        MarkForeground(flag, AppMediaPlayer);
        break;
    case ForegroundApp::WinDvd: {
        const size_t edition = InterVideoEdition();
        if (edition == AppWinDvd) {
            flag = WinDvdFullScreen(window);
            MarkWinDvdWindows(flag);
        } else if (edition == AppWinDvdBd) {
            flag = WinDvdBdFullScreen(window);
            MarkForeground(flag, AppWinDvdBd);
        }
        break;
    }
    case ForegroundApp::MediaCenter:
        flag = MediaCenterFullScreen(window);
        MarkForeground(flag, RemoteKeyApp4Active() != 0 ? AppTvEnhanceQuorb : AppMediaCenter);
        break;
    case ForegroundApp::TvEnhance:
        flag = TvEnhanceFullScreen(window);
        MarkForeground(flag, LocationFlag() != 0 ? AppTvEnhanceQuorb : AppTvEnhance);
        break;
    case ForegroundApp::StationTv:
        flag = StationTvFullScreen(window);
        MarkForeground(flag, AppStationTv);
        break;
    case ForegroundApp::EmotionalPlayer:
        flag = EmotionalPlayerFullScreen(window);
        MarkForeground(flag, AppEmotionalPlayer);
        break;
    case ForegroundApp::None:
        break;
    }
    return flag;
}

int AnalyseForegroundWindow() noexcept
{
    HWND window = ::GetForegroundWindow();
    if (window == nullptr) {
        return 0;
    }
    const bool minimised = ::IsIconic(window) != FALSE;
    ImagePath path;
    if (!ReadForegroundImagePath(window, path)) {
        return 0;
    }
    // A minimised foreground window is never recognised.
    if (minimised) {
        return 0;
    }
    return AnalyseRecognised(RecogniseExecutable(ExecutableName(path.text)), window);
}

}  // namespace

const char* ExecutableName(const char* imagePath) noexcept
{
    if (imagePath == nullptr) {
        return "";
    }
    const unsigned char* slash =
        ::_mbsrchr(reinterpret_cast<const unsigned char*>(imagePath), '\\');
    return slash == nullptr ? imagePath : reinterpret_cast<const char*>(slash + 1);
}

ForegroundApp RecogniseExecutable(const char* executableName) noexcept
{
    if (executableName == nullptr) {
        return ForegroundApp::None;
    }
    for (const ExecutableEntry& entry : kAppExecutables) {
        if (::_mbscmp(reinterpret_cast<const unsigned char*>(executableName),
                      reinterpret_cast<const unsigned char*>(entry.name)) == 0) {
            return entry.app;
        }
    }
    return ForegroundApp::None;
}

void MarkForeground(int fullScreenFlag, size_t index) noexcept
{
    SetAppState(index, fullScreenFlag != 0 ? StateFullScreen : StateForeground);
}

int ForegroundAnalysis() noexcept
{
    const int flag = AnalyseForegroundWindow();
    if (LampAvailable() != 0) {
        ApplyLampPolicy(flag);
    }
    return flag;
}

}  // namespace tavrel
