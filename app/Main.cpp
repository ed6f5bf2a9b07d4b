// Entry of Tavrel.exe.
#include <windows.h>

#include "app/Modes.h"

// The remainder of the command line is derived from GetCommandLineA by the
// program itself rather than taken from lpCmdLine: the C runtime's own split
// has differed between runtime versions, and the modes depend on the exact
// rule (see CommandRemainder).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return tavrel::RunTavrel(instance, ::GetCommandLineA());
}
