// The bench's arithmetic and parsing, driven with made-up inputs shaped
// like what Linux's /proc and Wine's registry trace really give.
#include <gtest/gtest.h>

#include "bench/BenchFigures.h"
#include "bench/BenchResult.h"
#include "bench/Report.h"

namespace bench {
namespace {

TEST(SpreadTest, MedianMaximumAndMeanOfOddAndEvenCounts)
{
    const struct {
        std::vector<double> values;
        double median;
        double max;
        double mean;
    } cases[] = {
        {{}, 0, 0, 0},
        {{7}, 7, 7, 7},
        {{900, 100, 500}, 500, 900, 500},
        {{4, 1, 3, 2}, 2.5, 4, 2.5},
        {{10, 10, 990, 10}, 10, 990, 255},
    };
    for (const auto& c : cases) {
        const Spread spread = SpreadOf(c.values);
        EXPECT_EQ(c.values.size(), spread.count);
        EXPECT_DOUBLE_EQ(c.median, spread.median);
        EXPECT_DOUBLE_EQ(c.max, spread.max);
        EXPECT_DOUBLE_EQ(c.mean, spread.mean);
    }
    EXPECT_DOUBLE_EQ(0, PerTick(12, 0));
    EXPECT_DOUBLE_EQ(0.25, PerTick(30, 120));
}

TEST(ProcParsingTest, StatCpuFieldsAreFoundPastACommandNameWithBlanksAndParentheses)
{
    // pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
    const struct {
        const char* line;
        std::optional<unsigned long long> cpu;
    } cases[] = {
        {"12671 (Tavrel.exe) S 1 12659 12659 0 -1 4194560 5071 0 9 0 31 17 0 0 20", 48},
        {"99 (a (b) c) R 1 2 3 4 5 6 7 8 9 10 120 5 0 0", 125},
        {"99 (short) S 1 2 3", std::nullopt},
        {"garbage", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.cpu, ParseStatCpuTicks(c.line)) << c.line;
    }
    const auto identity = ParseStatIdentity("12259 (wineserver64) S 1 12259 12259 0 -1");
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(12259u, identity->pid);
    EXPECT_EQ("wineserver64", identity->name);
    EXPECT_FALSE(ParseStatIdentity("(no pid) S").has_value());
}

TEST(ProcParsingTest, SchedstatRunTimeAndCommandLines)
{
    EXPECT_EQ(2406028u, ParseSchedstatRunNs("2406028 330891 7\n"));
    EXPECT_FALSE(ParseSchedstatRunNs("").has_value());
    // Wine's rewritten argument area: arguments split by NULs, padded with blanks.
    const std::string raw("Z:\\bin\\Tavrel.exe\0@@@Start\0      \0\0", 35);
    EXPECT_EQ("Z:\\bin\\Tavrel.exe @@@Start", CommandLineText(raw));
    EXPECT_EQ("", CommandLineText(std::string("\0\0", 2)));
    EXPECT_EQ("Z:\\bin\\Tavrel.exe @@@Start", WineCommandLine(raw));
    // Under qemu-i386: the emulator's own arguments, as seen.
    const std::string emulated(
        "/usr/bin/qemu-i386-static\0/usr/lib/wine/wine\0Z:\\bin\\Tavrel.exe\0@@@Start\0", 72);
    EXPECT_EQ("Z:\\bin\\Tavrel.exe @@@Start", WineCommandLine(emulated));
    EXPECT_EQ("", WineCommandLine(std::string("/usr/bin/qemu-i386-static\0", 26)));
}

// A piece of a WINEDEBUG=+pid,trace+reg log as Wine 8.0 writes it.
constexpr const char* kUninstall =
    "software\\\\microsoft\\\\windows\\\\CurrentVersion\\\\Uninstall\\\\InstallShield_{8C44}";
std::string OpenLine(const char* pid, const std::string& key)
{
    return std::string(pid) + ":0104:trace:reg:NtOpenKeyEx (0x1c,L\"" + key + "\",20019,0x21f8d8)\n" +
           pid + ":0104:trace:reg:NtOpenKeyEx <- 0x88\n";
}

std::string Trace()
{
    std::string trace;
    trace += OpenLine("01e8", "SOFTWARE\\\\VELMORA CORPORATION\\\\Tavrel");  // before the first tick
    for (int tick = 0; tick < 3; ++tick) {
        trace += OpenLine("01e8", kUninstall);
        trace += "01e8:0104:trace:reg:NtQueryValueKey (0x88,L\"dwStatusMode\",2,0x21f6c0,144)\n";
        trace += OpenLine("01e8", "SOFTWARE\\\\VELMORA CORPORATION\\\\Tavrel");
        trace += OpenLine("0200", "Software\\\\Other");  // another process
        trace += OpenLine("01e8", "SOFTWARE\\\\VELMORA CORPORATION\\\\Tavrel");
        if (tick == 1) {
            trace += "01e8:0104:trace:reg:NtCreateKey (0x1c,L\"Software\\\\Classes\\\\CLSID\\\\"
                     "{301ab3cf}\",(null),0,20019,0x21f000)\n";
            trace += OpenLine("01e8", "Software\\\\TavrelStandIns\\\\EventService");
        }
    }
    trace += OpenLine("01e8", kUninstall);  // the last tick, cut off by the window
    trace += OpenLine("01e8", "Software\\\\InterVideo\\\\DVD8");
    return trace;
}

// What the bench attributes the monitor's memory to; the monitor's and the
// baseline's maps are set side by side.
TEST(ProcParsingTest, ResidentMemoryIsSummedByMappedFileAndTheRestIsAnonymous)
{
    const std::string smaps =
        "7b000000-7b010000 r--p 00000000 fd:01 1234    /usr/lib/wine/x86_64-windows/Shell32.dll\n"
        "Size:                 64 kB\n"
        "Rss:                  40 kB\n"
        "7b010000-7b020000 r-xp 00010000 fd:01 1234    /usr/lib/wine/x86_64-windows/Shell32.dll\n"
        "Rss:                  24 kB\n"
        "00340000-00440000 rw-p 00000000 00:00 0 \n"
        "Rss:                 100 kB\n"
        "Anonymous:           100 kB\n"
        "7ffc0000-7ffc1000 rw-p 00000000 00:00 0       [stack]\n"
        "Rss:                   8 kB\n"
        "VmFlags: rd wr mr mw me gd ac\n";
    const auto monitor = ResidentKiBByMapping(smaps);
    EXPECT_EQ((std::map<std::string, unsigned long long>{{"(anonymous)", 108}, {"shell32.dll", 64}}),
              monitor);
    const std::map<std::string, unsigned long long> baseline = {{"(anonymous)", 100},
                                                                {"user32.dll", 300}};
    const std::vector<std::pair<std::string, long long>> beyond = {{"shell32.dll", 64},
                                                                   {"(anonymous)", 8}};
    EXPECT_EQ(beyond, ResidentDifference(monitor, baseline, 1));
    EXPECT_EQ(1u, ResidentDifference(monitor, baseline, 64).size());
}

TEST(RegistryTraceTest, OpensOfOneProcessAreCountedPerCompleteTick)
{
    const RegistryOpenCount count =
        CountRegistryOpens(Trace(), 0x1e8, "software\\microsoft\\windows\\CurrentVersion\\Uninstall\\InstallShield_{8C44}");
    EXPECT_EQ(3u, count.ticks);
    EXPECT_EQ((std::vector<double>{3, 5, 3}), count.opensPerTick);
    EXPECT_EQ(6u, count.opensByKey.at("SOFTWARE\\VELMORA CORPORATION\\Tavrel"));
    EXPECT_EQ(1u, count.opensByKey.at("Software\\Classes\\CLSID\\{301ab3cf}"));
    EXPECT_EQ(0u, count.opensByKey.count("Software\\Other"));
    EXPECT_EQ(0u, count.opensByKey.count("Software\\InterVideo\\DVD8"));
}

TEST(RegistryTraceTest, IgnoredKeysAndMarksTellReportTicksApart)
{
    const RegistryOpenCount count =
        CountRegistryOpens(Trace(), 0x1e8, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\INSTALLSHIELD_{8C44}",
                           "software\\tavrelstandins", "{301AB3CF}");
    EXPECT_EQ((std::vector<double>{3, 4, 3}), count.opensPerTick);
    EXPECT_EQ((std::vector<bool>{false, true, false}), count.marked);
}

TEST(RegistryTraceTest, OpensOfOneKeyAreCountedWithoutCase)
{
    EXPECT_EQ(7u, CountOpensOfKey(Trace(), 0x1e8, "software\\velmora corporation\\tavrel"));
    EXPECT_EQ(3u, CountOpensOfKey(Trace(), 0x200, "Software\\Other"));
    EXPECT_EQ(0u, CountOpensOfKey(Trace(), 0x1e9, "Software\\Other"));
    EXPECT_EQ(0u, CountOpensOfKey("not a trace\n\n01e8:garbage", 0x1e8, "x"));
}

TEST(HandleTypeTest, NumbersAreShiftedByWhatAKnownHandleShows)
{
    const std::map<int, std::string> typeList = {{2, "Type"}, {7, "Process"}, {10, "Event"}, {21, "Key"}};
    // Wine: an event handle is listed with type 8 (two below its TypeIndex).
    const auto wine = HandleTypeNames(typeList, 8, "Event");
    EXPECT_EQ("Process", wine.at(5));
    EXPECT_EQ("Key", wine.at(19));
    // Windows: the same numbers in both places.
    const auto windows = HandleTypeNames(typeList, 10, "Event");
    EXPECT_EQ("Key", windows.at(21));
    EXPECT_TRUE(HandleTypeNames(typeList, 8, "Mutant").empty());
}

TEST(SampleComparisonTest, AnyLeakRelevantCounterThatGrewIsFlagged)
{
    ResourceSample first;
    first.handles = 40;
    first.handlesByType = {{"Key", 6}, {"Event", 10}};
    first.gdiObjects = 30;
    first.userObjects = 2;
    first.privateBytes = 7000000;
    first.workingSet = 22000000;
    first.threads = 3;
    first.modules = 30;
    ResourceSample last = first;
    last.workingSet = 25000000;  // paging, not ownership
    const auto same = CompareSamples(first, last);
    EXPECT_TRUE(std::none_of(same.begin(), same.end(), [](const CounterChange& c) { return c.grew(); }));

    last.handlesByType = {{"Event", 9}, {"Process", 1}};  // a process handle kept, a key gone
    last.privateBytes = 7004096;
    std::vector<std::string> grown;
    for (const CounterChange& change : CompareSamples(first, last)) {
        if (change.grew()) {
            grown.push_back(change.name);
        }
    }
    EXPECT_EQ((std::vector<std::string>{"handles.Process", "private_bytes"}), grown);
}

TEST(StormSummaryTest, EachKindOfFaultFailsTheStorm)
{
    StormRound clean;
    clean.started = true;
    clean.maxMonitorWindows = 1;
    clean.maxProcesses = 3;
    clean.logonExit = 0;
    clean.monitorExit = 0xFFFFFFFF;  // found the instance mutex taken
    clean.haltExit = 0;
    clean.durationMs = 400;
    EXPECT_TRUE(SummariseStorm({clean, clean}).passed());
    EXPECT_FALSE(SummariseStorm({}).passed());

    const struct {
        const char* fault;
        void (*spoil)(StormRound&);
    } faults[] = {
        {"two monitors", [](StormRound& r) { r.maxMonitorWindows = 2; }},
        {"left behind", [](StormRound& r) { r.leftBehind = 1; }},
        {"not started", [](StormRound& r) { r.started = false; }},
        {"not begun", [](StormRound& r) { r.begunInTime = false; }},
        {"log-on exit", [](StormRound& r) { r.logonExit = 0xFFFFFFFF; }},
        {"monitor exit", [](StormRound& r) { r.monitorExit = 0xDEAD; }},
        {"halt exit", [](StormRound& r) { r.haltExit = 1; }},
    };
    for (const auto& fault : faults) {
        StormRound spoilt = clean;
        fault.spoil(spoilt);
        const StormSummary summary = SummariseStorm({clean, spoilt, clean});
        EXPECT_FALSE(summary.passed()) << fault.fault;
        EXPECT_EQ(3u, summary.rounds);
    }
    StormRound left = clean;
    left.leftBehind = 2;
    EXPECT_EQ(2u, SummariseStorm({left, clean}).processesLeft);
}

}  // namespace
}  // namespace bench
