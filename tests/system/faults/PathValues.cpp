#include "tests/system/faults/PathValues.h"

#include <gtest/gtest.h>

#include "tests/support/Registry.h"

namespace testsupport::faults {

namespace {
// The buffer every path is read into, terminator included.
constexpr size_t kPathBuffer = 260;
constexpr const char* kHere = ".\\";         // two characters
constexpr const char* kThereAndBack = "x\\..\\";  // five: makes odd lengths reachable
}  // namespace

const char* PathFaultName(PathFault fault)
{
    switch (fault) {
    case PathFault::Absent: return "Absent";
    case PathFault::TypeDword: return "TypeDword";
    case PathFault::TypeBinary: return "TypeBinary";
    case PathFault::TypeMultiString: return "TypeMultiString";
    case PathFault::Unterminated: return "Unterminated";
    case PathFault::TooLong: return "TooLong";
    case PathFault::Empty: return "Empty";
    case PathFault::Nowhere: return "Nowhere";
    }
    return "";
}

void PrintTo(PathFault fault, std::ostream* out) { *out << PathFaultName(fault); }

std::string PathOfLength(const std::string& path, size_t length)
{
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || length < path.size()) {
        return path;
    }
    size_t padding = length - path.size();
    std::string segments;
    if (padding % 2 == 1 && padding >= 5) {
        segments += kThereAndBack;
        padding -= 5;
    }
    for (; padding >= 2; padding -= 2) {
        segments += kHere;
    }
    return path.substr(0, slash + 1) + segments + path.substr(slash + 1);
}

void WritePathFault(HKEY root, const std::string& key, const std::string& value,
                    PathFault fault, const std::string& validPath)
{
    const std::string longest = PathOfLength(validPath, kPathBuffer);
    ASSERT_EQ(kPathBuffer, longest.size());
    bool written = false;
    switch (fault) {
    case PathFault::Absent:
        DeleteValue(root, key, value);
        written = !ValueExists(root, key, value);
        break;
    case PathFault::TypeDword:
        written = SetDword(root, key, value, 1);
        break;
    case PathFault::TypeBinary:
        written = SetRaw(root, key, value, REG_BINARY, validPath.c_str(),
                         static_cast<DWORD>(validPath.size() + 1));
        break;
    case PathFault::TypeMultiString: {
        const std::string list = validPath + '\0' + '\0';
        written = SetRaw(root, key, value, REG_MULTI_SZ, list.data(),
                         static_cast<DWORD>(list.size()));
        break;
    }
    case PathFault::Unterminated:
        written = SetRaw(root, key, value, REG_SZ, longest.data(),
                         static_cast<DWORD>(longest.size()));
        break;
    case PathFault::TooLong:
        written = SetString(root, key, value, longest);
        break;
    case PathFault::Empty:
        written = SetString(root, key, value, "");
        break;
    case PathFault::Nowhere: {
        const size_t slash = validPath.find_last_of('\\');
        written = SetString(root, key, value,
                            validPath.substr(0, slash) + "\\absent" + validPath.substr(slash));
        break;
    }
    }
    ASSERT_TRUE(written) << PathFaultName(fault);
}

}  // namespace testsupport::faults
