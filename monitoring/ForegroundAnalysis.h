// Once per tick, after the window scan: recognises the process owning the
// foreground window by its executable name, decides by that application's
// rule whether it fills the screen, marks a tracked entry foreground or
// full-screen, and hands the full-screen flag to the lamp policy.
#pragma once

#include <windows.h>

namespace tavrel {

enum class ForegroundApp {
    None,
    MediaPlayer,
    WinDvd,  // "WinDVD.exe" and "WinDVDBD.exe": the edition decides
    MediaCenter,
    TvEnhance,
    StationTv,
    EmotionalPlayer,
};

// The final component of a process image path (all of it without a
// backslash).
const char* ExecutableName(const char* imagePath) noexcept;

// Exact, case-sensitive comparison with the watched executables, in order.
ForegroundApp RecogniseExecutable(const char* executableName) noexcept;

// Marks the entry StateFullScreen or StateForeground (tracked entries only).
void MarkForeground(int fullScreenFlag, size_t index) noexcept;

// The whole pass; returns the full-screen flag it computed.
int ForegroundAnalysis() noexcept;

}  // namespace tavrel
