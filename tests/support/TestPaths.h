// Where the programs under test and the stand-ins are, found from the test
// program's own location (bin/tests/<test>.exe).
#pragma once

#include <string>

namespace testsupport {

std::string TestProgramDirectory();
// bin/, holding Tavrel.exe and Brisolt.dll.
std::string DeliverableDirectory();
std::string TavrelPath();
// bin/fixtures/<name>
std::string FixturePath(const std::string& relative);

}  // namespace testsupport
