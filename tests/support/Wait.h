#pragma once

#include <windows.h>

#include <functional>

namespace testsupport {

// Polls the condition until it holds or the time is up, pumping this
// thread's messages meanwhile. Returns the condition's last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 50);

// Lets the time pass while pumping messages.
void PumpFor(DWORD milliseconds);

}  // namespace testsupport
