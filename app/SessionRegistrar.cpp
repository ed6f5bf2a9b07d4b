#include "app/SessionRegistrar.h"

#include <wtsapi32.h>

namespace tavrel {

DWORD WINAPI SessionRegistrar(LPVOID parameter) noexcept
{
    HWND window = static_cast<HWND>(parameter);
    while (::IsWindow(window)) {
        if (::WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION)) {
            break;
        }
        ::Sleep(kSessionRegistrationRetryMs);
    }
    return 0;
}

}  // namespace tavrel
