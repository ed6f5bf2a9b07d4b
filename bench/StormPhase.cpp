// The start/halt storm: many rounds of log-on mode, monitor mode and
// "@@@HaltAll" in quick succession. Passes when no round left a process
// behind, none ever showed two monitor windows at once, and every exit code
// was one the modes may give.
#include <cstdio>
#include <random>
#include <vector>

#include "bench/BenchBed.h"
#include "bench/BenchFigures.h"
#include "bench/Phases.h"
#include "bench/PlatformInfo.h"
#include "bench/Report.h"
#include "bench/Storm.h"
#include "tests/support/MonitorHarness.h"
#include "tests/support/VelUtilsStandIn.h"

namespace bench {

namespace {
constexpr int kDefaultRounds = 200;
constexpr int kProgressEvery = 20;
}  // namespace

int RunStormPhase(const PhaseOptions& options)
{
    const int rounds = options.rounds > 0 ? options.rounds : kDefaultRounds;
    const unsigned seed = options.seed != 0 ? options.seed : ::GetTickCount();
    std::mt19937 random(seed);
    std::printf("storm: %d rounds, seed %u\n", rounds, seed);
    std::fflush(stdout);

    // The monitors started in the storm bind the stand-in driver utility and
    // read the usual settings, as they would at log-on.
    BenchBed bed(false);
    if (EndLeftoverInstances() != 0) {
        std::printf("storm: instances from before were ended first\n");
    }
    const StormTiming timing;
    std::vector<StormRound> results;
    for (int round = 1; round <= rounds; ++round) {
        results.push_back(RunStormRound(random, timing));
        const StormRound& last = results.back();
        if (last.leftBehind > 0 || last.maxMonitorWindows > 1 || !last.started ||
            !last.begunInTime) {
            std::printf("storm: round %d: %zu left behind, %zu monitor windows at once: %s\n",
                        round, last.leftBehind, last.maxMonitorWindows, last.detail.c_str());
        }
        if (round % kProgressEvery == 0) {
            const StormSummary sofar = SummariseStorm(results);
            std::printf("storm: %d rounds, %zu leaving processes, %zu with two monitors\n", round,
                        sofar.leavingProcesses, sofar.twoMonitorsAtOnce);
        }
        std::fflush(stdout);
    }
    const StormSummary summary = SummariseStorm(results);
    const bool quietAfter = CountTavrelProcesses() == 0 && CountMonitorWindows() == 0 &&
                            !testsupport::InstanceMutexExists();

    Table table("Start/halt storm (" + PlatformDescription() + ")");
    table.Row("rounds", std::to_string(summary.rounds),
              "@@@StartFirstly, +0.." + std::to_string(timing.maxStartGapMs) +
                  " ms @@@Start, once both hold the halt event +0.." +
                  std::to_string(timing.maxHaltDelayMs) + " ms @@@HaltAll");
    table.Row("rounds leaving a process behind", std::to_string(summary.leavingProcesses),
              std::to_string(summary.processesLeft) + " processes in all");
    table.Row("rounds with two monitor windows at once", std::to_string(summary.twoMonitorsAtOnce));
    table.Row("rounds with an unexpected exit code", std::to_string(summary.unexpectedExitCodes));
    table.Row("rounds where a program did not start or begin", std::to_string(summary.notStarted));
    table.Row("most Tavrel.exe processes at once", std::to_string(summary.maxProcessesAtOnce));
    table.Row("round until all gone: median / max",
              Fixed(summary.durationMs.median, 0) + " / " + Fixed(summary.durationMs.max, 0) + " ms");
    table.Row("after the storm", quietAfter ? "no process, window or mutex left" : "SOMETHING LEFT");
    table.Row("verdict", summary.passed() && quietAfter ? "PASS" : "FAIL");
    std::printf("\n%s\n", table.Text().c_str());

    Json json;
    json["platform"] = PlatformDescription();
    json["seed"] = seed;
    json["rounds"] = summary.rounds;
    json["max_start_gap_ms"] = timing.maxStartGapMs;
    json["max_halt_delay_ms"] = timing.maxHaltDelayMs;
    json["rounds_leaving_processes"] = summary.leavingProcesses;
    json["processes_left"] = summary.processesLeft;
    json["rounds_with_two_monitors"] = summary.twoMonitorsAtOnce;
    json["rounds_with_unexpected_exit_codes"] = summary.unexpectedExitCodes;
    json["rounds_not_started"] = summary.notStarted;
    json["max_processes_at_once"] = summary.maxProcessesAtOnce;
    json["round_ms_median"] = summary.durationMs.median;
    json["round_ms_max"] = summary.durationMs.max;
    json["nothing_left_after"] = quietAfter;
    json["passed"] = summary.passed() && quietAfter;
    if (!options.jsonPath.empty()) {
        WriteJsonFile(options.jsonPath, json);
    }
    return summary.passed() && quietAfter ? kPhasePassed : kPhaseFailed;
}

}  // namespace bench
