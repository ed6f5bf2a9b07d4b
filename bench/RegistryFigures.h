// What the registry phase hands to the bench phase (the two run as separate
// processes, the first under Wine's registry trace): a small text of
// "name value" lines and one "key <opens per tick> <path>" line per key.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchFigures.h"

namespace bench {

struct RegistryFigures {
    size_t steadyTicks = 0;
    Spread perTick;        // key opens per steady tick
    Spread perReportTick;  // key opens per tick that sent a report
    size_t checkSeen = 0;  // the phase's own opens found in the trace
    size_t checkMade = 0;  // and how many it made
    std::vector<std::pair<std::string, double>> perKey;  // opens per steady tick, by key
};

std::string FormatRegistryFigures(const RegistryFigures& figures);

// Empty when the text holds no steady tick count.
std::optional<RegistryFigures> ParseRegistryFigures(const std::string& text);

// The file the registry phase wrote; empty when there is none.
std::optional<RegistryFigures> LoadRegistryFigures(const std::string& path);

}  // namespace bench
