// Where the programs under test and the stand-ins are.
//
// A test program finds its own build from its location (bin/tests/<test>.exe).
// The build under test is that same one, unless TAVREL_TARGET_BIN names the
// bin/ folder of another: the i686 leg runs the x86_64 system-test drivers
// against the 32-bit build that ships. The stand-ins come from the build
// under test as well, libraries and programs alike: a 32-bit monitor on the
// 32-bit Windows it is made for sees only 32-bit programs around it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace testsupport {

std::string TestProgramDirectory();
// bin/ of the test program's own build.
std::string DeliverableDirectory();
// bin/ of the build under test, holding Tavrel.exe and Brisolt.dll.
std::string TargetDirectory();
std::string TavrelPath();
// True when the build under test is 32-bit (its Tavrel.exe is an i386 image).
bool TargetIs32Bit();
// The PE headers of an image file, in the 32-bit layout: the file header and
// SizeOfImage lie at the same offsets in a 64-bit image. Empty when the file
// cannot be read or is not a PE image.
std::optional<IMAGE_NT_HEADERS32> ReadImageHeaders(const std::string& path);
// bin/fixtures/<name> of the build under test.
std::string FixturePath(const std::string& relative);
// The unpacked deployment kit's folder, which TAVREL_KIT_DIR names (a Unix
// path, like TAVREL_TARGET_BIN); empty when it is not set.
std::string KitDirectory();

}  // namespace testsupport
