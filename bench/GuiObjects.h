// GDI and USER objects of another process.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

struct GuiFigures {
    size_t gdiObjects = 0;
    size_t userObjects = 0;
    std::string gdiSource;
    std::string userSource;
};
GuiFigures ReadGuiObjects(HANDLE process, DWORD processId);

}  // namespace bench
