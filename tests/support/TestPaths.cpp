#include "tests/support/TestPaths.h"

#include <windows.h>

namespace testsupport {

namespace {
std::string ParentOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}
}  // namespace

std::string TestProgramDirectory()
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return ParentOf(std::string(path, length));
}

std::string DeliverableDirectory() { return ParentOf(TestProgramDirectory()); }

std::string TavrelPath() { return DeliverableDirectory() + "\\Tavrel.exe"; }

std::string FixturePath(const std::string& relative)
{
    return DeliverableDirectory() + "\\fixtures\\" + relative;
}

}  // namespace testsupport
