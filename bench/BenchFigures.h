// The bench command's figures computed from raw observations: spreads,
// rates, Linux /proc lines, Wine registry traces, resource samples and the
// storm's rounds. Plain functions, so that tests drive them with made-up
// inputs; nothing here calls the system.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct Spread {
    size_t count = 0;
    double min = 0;
    double median = 0;  // of an even count: the mean of the two middle values
    double max = 0;
    double mean = 0;
};

Spread SpreadOf(std::vector<double> values);

// total / ticks, or 0 when there was no tick.
double PerTick(double total, double ticks);

// ---- Linux /proc (under Wine every Windows process is a Linux process) ----

// First field of /proc/<pid>/task/<tid>/schedstat: nanoseconds run on a CPU.
std::optional<unsigned long long> ParseSchedstatRunNs(const std::string& text);

// utime + stime (fields 14 and 15) of /proc/<pid>/stat, in clock ticks. The
// command name in parentheses may itself hold blanks and parentheses.
std::optional<unsigned long long> ParseStatCpuTicks(const std::string& text);

// The pid and the command name of a /proc/<pid>/stat line.
struct StatIdentity {
    unsigned long pid = 0;
    std::string name;
};
std::optional<StatIdentity> ParseStatIdentity(const std::string& text);

// /proc/<pid>/cmdline as one line: NULs as blanks, trailing blanks and NULs
// dropped (Wine pads the argument area it rewrites).
std::string CommandLineText(const std::string& raw);

// The Windows command line a Wine process runs, from its raw
// /proc/<pid>/cmdline. Natively Wine rewrites its argument area to that
// command line. Where 32-bit code runs under qemu-i386 user emulation, the
// Linux process is the emulator, whose arguments Wine cannot rewrite: the
// emulator and the 32-bit Wine loader come first, then the program path and
// its arguments as the loader was given them.
std::string WineCommandLine(const std::string& raw);

// Resident memory of a Linux process by what is mapped (/proc/<pid>/smaps):
// KiB per mapped file (by its file name, lower case) and "(anonymous)" for
// mappings of no file (heaps, stacks, Wine's own reservations).
std::map<std::string, unsigned long long> ResidentKiBByMapping(const std::string& smaps);

// ---- Wine registry trace (WINEDEBUG=+pid,trace+reg) ----

// Key opens of one process per tick. A tick begins with the open of the
// tick's first key; opens before the first such line and from the last one
// on are not part of a complete tick and are left out.
struct RegistryOpenCount {
    size_t ticks = 0;
    std::vector<double> opensPerTick;          // one entry per complete tick
    std::vector<bool> marked;                  // per tick: a key held the mark
    std::map<std::string, size_t> opensByKey;  // over the complete ticks
};

// Counts NtOpenKeyEx and NtCreateKey calls (not their "<-" result lines)
// of the process. Keys starting with ignoredPrefix (compared without case)
// are left out, e.g. the stand-ins' own settings read inside the process;
// a tick is marked when one of its keys contains mark (without case).
RegistryOpenCount CountRegistryOpens(const std::string& trace, DWORD processId,
                                     const std::string& tickKey,
                                     const std::string& ignoredPrefix = "",
                                     const std::string& mark = "");

// Opens of exactly this key by the process (compared without case).
size_t CountOpensOfKey(const std::string& trace, DWORD processId, const std::string& key);

// ---- handle types ----

// Wine numbers the handle list's types from 0 in the order of the type
// list, while the type list's own TypeIndex starts at 2 (Windows uses the
// same number in both). The offset is learnt from one handle of a known
// type. Answers handle-list type number -> name.
std::map<int, std::string> HandleTypeNames(const std::map<int, std::string>& typeList,
                                           int knownHandleType, const std::string& knownName);

// ---- resource samples of the soak ----

struct ResourceSample {
    size_t handles = 0;
    std::map<std::string, size_t> handlesByType;
    size_t gdiObjects = 0;
    size_t userObjects = 0;
    unsigned long long privateBytes = 0;
    unsigned long long workingSet = 0;
    size_t threads = 0;
    size_t modules = 0;
};

struct CounterChange {
    std::string name;
    long long first = 0;
    long long last = 0;
    bool grew() const { return last > first; }
};

// Every leak-relevant counter of the two samples, the handle types of
// either one included (a type missing from one sample counts 0 there).
// The working set is left out: it follows paging, not ownership.
std::vector<CounterChange> CompareSamples(const ResourceSample& first, const ResourceSample& last);

// ---- start/halt storm ----

struct StormRound {
    bool started = false;           // all three programs could be started
    size_t maxMonitorWindows = 0;   // monitor windows seen at the same time
    size_t maxProcesses = 0;        // Tavrel.exe processes seen at the same time
    size_t leftBehind = 0;          // Tavrel.exe processes still there at the round's end
    std::string detail;             // what went wrong: programs not started, who was left
    std::optional<DWORD> logonExit;
    std::optional<DWORD> monitorExit;
    std::optional<DWORD> haltExit;
    DWORD startGapMs = 0;   // log-on mode -> monitor mode
    DWORD beginWaitMs = 0;  // until both had opened the halt event (or ended)
    bool begunInTime = true;
    DWORD haltDelayMs = 0;  // then -> "@@@HaltAll"
    DWORD durationMs = 0;
};

struct StormSummary {
    size_t rounds = 0;
    size_t notStarted = 0;  // a program did not start, or did not begin in time
    size_t twoMonitorsAtOnce = 0;
    size_t leavingProcesses = 0;
    size_t processesLeft = 0;
    size_t unexpectedExitCodes = 0;  // any exit code other than 0 and, for "@@@Start", -1
    size_t maxProcessesAtOnce = 0;
    Spread durationMs;
    bool passed() const
    {
        return rounds > 0 && notStarted == 0 && twoMonitorsAtOnce == 0 && leavingProcesses == 0 &&
               unexpectedExitCodes == 0;
    }
};

StormSummary SummariseStorm(const std::vector<StormRound>& rounds);

}  // namespace bench
