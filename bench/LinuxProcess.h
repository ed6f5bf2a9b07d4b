// Under Wine every Windows process is a Linux process, and Linux's /proc is
// reachable through drive Z: (Wine maps the Linux root there). The bench
// reads CPU time from there: Wine 8.0's GetProcessTimes answers, for any
// process handle, the calling process's own times (seen: the driver and the
// monitor got identical figures), so it cannot measure another process.
#pragma once

#include <optional>
#include <string>

namespace bench {

// True when ntdll is Wine's (it exports wine_get_version).
bool RunningUnderWine();

// The Linux pid of the process that runs "<programPath> <arguments>": Wine
// rewrites a process's argument area to its Windows arguments (the path
// unquoted), so /proc/<pid>/cmdline shows them; under qemu-i386 they follow
// the emulator's and the loader's paths (see WineCommandLine). Empty when
// none or several match.
std::optional<unsigned long> FindLinuxProcess(const std::string& programPath,
                                              const std::string& arguments);

// CPU time of all live threads of the Linux process, in nanoseconds (sum of
// /proc/<pid>/task/*/schedstat).
std::optional<unsigned long long> LinuxCpuNanoseconds(unsigned long pid);

// utime + stime of /proc/<pid>/stat in clock ticks (1/100 s): coarse, but it
// also counts threads that have ended.
std::optional<unsigned long long> LinuxCpuClockTicks(unsigned long pid);

// /proc/<pid>/smaps: what the process maps, with its resident size.
std::optional<std::string> LinuxSmaps(unsigned long pid);

// The wineserver of this prefix. Wine opens files in the server, so
// Z:\proc\self names the wineserver process itself (seen with Wine 8.0);
// empty when what it names is not a wineserver.
std::optional<unsigned long> WineServerPid();

}  // namespace bench
