// The bench phase's verdicts and the registry phase's hand-over, driven
// with made-up measurements.
#include <gtest/gtest.h>

#include "bench/BenchResult.h"
#include "bench/RegistryFigures.h"

namespace bench {
namespace {

MemoryFigures Memory(unsigned long long privateMiB, unsigned long long workingSetMiB)
{
    MemoryFigures memory;
    memory.privateBytes = privateMiB << 20;
    memory.workingSet = workingSetMiB << 20;
    return memory;
}

BenchResult Passing()
{
    BenchResult result;
    result.monitorTicks = 150;
    result.monitor = {90.0, std::nullopt, 150};  // 0.6 ms per tick
    result.replay = {84.0, std::nullopt, 150};   // 0.56 ms per tick
    result.baseline = {30.0, std::nullopt, 149};
    result.replayCallsPerTick = 29;
    result.replayMismatches = 0;
    result.monitorMemory = Memory(5, 12);
    result.baselineMemory = Memory(4, 11);
    result.handlesStart.reportedCount = 40;
    result.handlesEnd.reportedCount = 40;
    result.latency.changes = 24;
    result.latency.latencies.assign(24, 500.0);
    result.monitorAlive = true;
    return result;
}

TEST(BenchResultTest, TheMonitorIsSetAgainstTheReplayAndTheBaselineWithinOneRun)
{
    BenchResult result = Passing();
    EXPECT_DOUBLE_EQ(0.6, *result.monitor.PerTick());
    EXPECT_DOUBLE_EQ(0.56, *result.replay.PerTick());
    EXPECT_NEAR(90.0 / 84.0, *result.RatioToReplay(), 1e-12);
    EXPECT_NEAR(40.0, *result.DifferenceToReplayUs(), 1e-9);
    EXPECT_NEAR(0.6 / (30.0 / 149), *result.RatioToBaseline(), 1e-12);
    EXPECT_FALSE(result.ServerCausedPerTick().has_value());
    result.serverRunningMsPerS = 6.0;
    result.serverPausedMsPerS = 2.5;
    EXPECT_DOUBLE_EQ(3.5, *result.ServerCausedPerTick());
    result.replay.ms.reset();
    EXPECT_FALSE(result.DifferenceToReplayUs().has_value());
    EXPECT_FALSE(result.RatioMet()) << "no figure is no pass";
}

TEST(BenchResultTest, EachMissedTargetOrCheckFailsTheBench)
{
    EXPECT_TRUE(Passing().Passed());
    const struct {
        const char* fault;
        void (*spoil)(BenchResult&);
    } faults[] = {
        {"monitor 11 % above the replay", [](BenchResult& r) { r.monitor.ms = 84.0 * 1.11; }},
        {"replay result unlike the monitor's", [](BenchResult& r) { r.replayMismatches = 1; }},
        {"replay did not answer", [](BenchResult& r) { r.replayMismatches = -1; }},
        {"replay stopped ticking", [](BenchResult& r) { r.replay.ticks = 100; }},
        {"private bytes 1 MiB + 1 above", [](BenchResult& r) { r.monitorMemory->privateBytes = (5 << 20) + 1; }},
        {"working set 2 MiB above", [](BenchResult& r) { r.monitorMemory = Memory(5, 13); }},
        {"no baseline memory", [](BenchResult& r) { r.baselineMemory.reset(); }},
        {"too few latencies", [](BenchResult& r) { r.latency.latencies.resize(19); }},
        {"a wrong value", [](BenchResult& r) { r.latency.wrongValues = 1; }},
        {"an extra event", [](BenchResult& r) { r.latency.extraEvents = 1; }},
        {"a handle more", [](BenchResult& r) { r.handlesEnd.reportedCount = 41; }},
        {"a driver call", [](BenchResult& r) { r.steadyDriverCalls = 1; }},
        {"a COM object", [](BenchResult& r) { r.steadyObjectsCreated = 1; }},
        {"an event", [](BenchResult& r) { r.steadyEvents = 1; }},
        {"monitor gone", [](BenchResult& r) { r.monitorAlive = false; }},
    };
    for (const auto& fault : faults) {
        BenchResult result = Passing();
        fault.spoil(result);
        EXPECT_FALSE(result.Passed()) << fault.fault;
    }
    BenchResult edge = Passing();
    edge.monitor.ms = 84.0 * 1.10;
    edge.monitorMemory = Memory(5, 12);
    edge.baselineMemory = Memory(4, 11);
    EXPECT_TRUE(edge.Passed()) << "the targets' limits themselves pass";
}

TEST(BenchResultTest, HandleCountsFallBackToTheListWhenThePlatformAnswersZero)
{
    HandleFigures wine;
    wine.reportedCount = 0;  // what Wine 8.0 answers
    wine.listedCount = 34;
    EXPECT_EQ(34u, wine.Count());
    HandleFigures windows;
    windows.reportedCount = 52;
    windows.listedCount = 50;
    EXPECT_EQ(52u, windows.Count());
}

TEST(RegistryFiguresTest, WhatTheRegistryPhaseWritesTheBenchPhaseReadsBack)
{
    RegistryFigures figures;
    figures.steadyTicks = 29;
    figures.perTick = SpreadOf({7, 7, 7});
    figures.perReportTick = SpreadOf({11, 12});
    figures.checkSeen = 5;
    figures.checkMade = 5;
    figures.perKey = {{"SOFTWARE\\VELMORA CORPORATION\\Tavrel", 2.0},
                      {"Software\\InterVideo\\DVD8", 2.0},
                      {"software\\...\\Uninstall\\InstallShield_{8C44} with blanks", 1.0}};
    const auto read = ParseRegistryFigures(FormatRegistryFigures(figures));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(29u, read->steadyTicks);
    EXPECT_DOUBLE_EQ(7, read->perTick.median);
    EXPECT_EQ(3u, read->perTick.count);
    EXPECT_DOUBLE_EQ(11.5, read->perReportTick.median);
    EXPECT_DOUBLE_EQ(12, read->perReportTick.max);
    EXPECT_EQ(5u, read->checkSeen);
    EXPECT_EQ(figures.perKey, read->perKey);
    EXPECT_FALSE(ParseRegistryFigures("").has_value());
    EXPECT_FALSE(ParseRegistryFigures("per_tick_median 7\n").has_value());
}

}  // namespace
}  // namespace bench
