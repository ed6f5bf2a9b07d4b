// The library keeps no state of its own, so its entry point has nothing to
// set up or tear down beyond what the run-time start-up does before it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/)
{
    return TRUE;
}
