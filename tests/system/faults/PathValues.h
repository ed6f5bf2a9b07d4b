// String values the monitor reads as paths (the driver utility's, the
// visualiser's, the InterVideo player's), spoilt in each way the registry
// allows: absent, of another type, unterminated, too long for the
// 260-character buffer, empty, or naming no file.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

namespace testsupport::faults {

enum class PathFault {
    Absent,
    TypeDword,
    TypeBinary,
    TypeMultiString,
    Unterminated,  // the 260 characters of a path that exists, no NUL
    TooLong,       // a path of 260 characters that exists, with its NUL
    Empty,
    Nowhere,       // a well-formed path to a file that does not exist
};

const char* PathFaultName(PathFault fault);
void PrintTo(PathFault fault, std::ostream* out);

// The same file as path, named with "." and ".." segments so that the text
// is exactly length characters long; the loader and the shell resolve it
// to the original.
std::string PathOfLength(const std::string& path, size_t length);

// Writes the value spoilt that way; validPath is the working path the
// spoilt forms are made from.
void WritePathFault(HKEY root, const std::string& key, const std::string& value,
                    PathFault fault, const std::string& validPath);

}  // namespace testsupport::faults
