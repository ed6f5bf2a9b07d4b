// Driver of the bench command (bench/run.sh): runs one phase against the
// real Tavrel.exe in this Wine prefix, prints its table and writes its
// JSON object.
//
// Usage: BenchDriver.exe registry|calls|bench|soak|storm [--json <file>]
//            [--registry-figures <file>] [--trace <file>] [--tick-calls <file>]
//            [--ticks <n>] [--changes <n>] [--rounds <n>] [--seed <n>]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/Phases.h"

namespace {

void Usage()
{
    std::printf(
        "usage: BenchDriver.exe registry|calls|bench|soak|storm [--json <file>]\n"
        "           [--registry-figures <file>] [--trace <file>] [--tick-calls <file>]\n"
        "           [--ticks <n>] [--changes <n>] [--rounds <n>] [--seed <n>]\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        Usage();
        return bench::kPhaseCouldNotRun;
    }
    const std::string phase = argv[1];
    bench::PhaseOptions options;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--json") {
            options.jsonPath = value;
        } else if (name == "--registry-figures") {
            options.registryFigures = value;
        } else if (name == "--trace") {
            options.tracePath = value;
        } else if (name == "--tick-calls") {
            options.tickCalls = value;
        } else if (name == "--ticks") {
            options.ticks = std::atoi(value.c_str());
        } else if (name == "--changes") {
            options.changes = std::atoi(value.c_str());
        } else if (name == "--rounds") {
            options.rounds = std::atoi(value.c_str());
        } else if (name == "--seed") {
            options.seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        } else {
            Usage();
            return bench::kPhaseCouldNotRun;
        }
    }
    // The soak and the storm run for many minutes; their progress lines
    // should reach a file promptly.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (phase == "bench") {
        return bench::RunBenchPhase(options);
    }
    if (phase == "registry") {
        return bench::RunRegistryPhase(options);
    }
    if (phase == "calls") {
        return bench::RunCallsPhase(options);
    }
    if (phase == "soak") {
        return bench::RunSoakPhase(options);
    }
    if (phase == "storm") {
        return bench::RunStormPhase(options);
    }
    Usage();
    return bench::kPhaseCouldNotRun;
}
