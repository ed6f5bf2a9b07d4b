// The bench phase's verdicts and the registry phase's hand-over, driven
// with made-up measurements.
#include <gtest/gtest.h>

#include "bench/BenchResult.h"
#include "bench/RegistryFigures.h"

namespace bench {
namespace {

BenchResult Passing()
{
    BenchResult result;
    result.monitorTicks = 150;
    result.baselineTicks = 150;
    result.monitorMs = 90;   // 0.6 ms per tick
    result.baselineMs = 30;  // 0.2 ms per tick
    result.handlesStart.reportedCount = 40;
    result.handlesEnd.reportedCount = 40;
    result.latency.changes = 24;
    result.latency.latencies.assign(24, 500.0);
    result.monitorAlive = true;
    return result;
}

TEST(BenchResultTest, PerTickFiguresAreTheWindowsTotalsOverItsTicks)
{
    BenchResult result = Passing();
    EXPECT_DOUBLE_EQ(0.6, *result.MonitorPerTick());
    EXPECT_DOUBLE_EQ(0.2, *result.BaselinePerTick());
    EXPECT_NEAR(0.4, *result.OwnCostPerTick(), 1e-12);
    EXPECT_DOUBLE_EQ(3.0, *result.Ratio());
    EXPECT_FALSE(result.ServerCausedPerTick().has_value());
    result.serverRunningMsPerS = 6.0;
    result.serverPausedMsPerS = 2.5;
    EXPECT_DOUBLE_EQ(3.5, *result.ServerCausedPerTick());
    result.baselineMs.reset();
    EXPECT_FALSE(result.OwnCostPerTick().has_value());
    EXPECT_FALSE(result.CostMet()) << "no figure is no pass";
}

TEST(BenchResultTest, EachMissedTargetOrCheckFailsTheBench)
{
    EXPECT_TRUE(Passing().Passed());
    const struct {
        const char* fault;
        void (*spoil)(BenchResult&);
    } faults[] = {
        {"tick costs 1 ms", [](BenchResult& r) { r.monitorMs = 180; }},
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
