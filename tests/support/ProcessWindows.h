// Other processes' top-level windows and image names, looked at from a
// test the way the monitor looks at them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// Top-level windows owned by the process, hidden ones included, in
// EnumWindows order; only those of the class when one is given.
std::vector<HWND> TopLevelWindows(DWORD processId, const std::string& windowClass = "");
HWND FindTopLevelWindow(DWORD processId, const std::string& windowClass);

// The text after the last backslash (all of it when there is none).
std::string FinalPathComponent(const std::string& path);

// The final component of the process's image path from
// GetProcessImageFileNameA, as the monitor reads it; empty when the
// process cannot be opened.
std::string ProcessImageName(DWORD processId);

// The process owning the window, or 0.
DWORD WindowProcessId(HWND window);

// Ends a process by id, but only while it still runs an image of that name
// (compared without case), so that a reused id is never hit. Waits up to
// timeoutMs for it to disappear; true when it is gone or was not running.
bool EndProcessWithImage(DWORD processId, const std::string& imageName, DWORD timeoutMs = 5000);

}  // namespace testsupport
