// A one-line description of the platform the bench ran on, for its
// reports: the Wine version (and the Linux kernel) or the Windows version.
#pragma once

#include <string>

namespace bench {

std::string PlatformDescription();

}  // namespace bench
