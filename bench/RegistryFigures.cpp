#include "bench/RegistryFigures.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "bench/Report.h"

namespace bench {

namespace {

void AddSpread(std::string& text, const std::string& prefix, const Spread& spread)
{
    text += prefix + "_count " + std::to_string(spread.count) + "\n";
    text += prefix + "_min " + Fixed(spread.min, 3) + "\n";
    text += prefix + "_median " + Fixed(spread.median, 3) + "\n";
    text += prefix + "_max " + Fixed(spread.max, 3) + "\n";
    text += prefix + "_mean " + Fixed(spread.mean, 3) + "\n";
}

Spread ReadSpread(const std::map<std::string, std::string>& values, const std::string& prefix)
{
    auto number = [&](const char* suffix) {
        const auto found = values.find(prefix + suffix);
        return found == values.end() ? 0.0 : std::atof(found->second.c_str());
    };
    Spread spread;
    spread.count = static_cast<size_t>(number("_count"));
    spread.min = number("_min");
    spread.median = number("_median");
    spread.max = number("_max");
    spread.mean = number("_mean");
    return spread;
}

}  // namespace

std::string FormatRegistryFigures(const RegistryFigures& figures)
{
    std::string text = "steady_ticks " + std::to_string(figures.steadyTicks) + "\n";
    AddSpread(text, "per_tick", figures.perTick);
    AddSpread(text, "per_report_tick", figures.perReportTick);
    text += "check_seen " + std::to_string(figures.checkSeen) + "\n";
    text += "check_made " + std::to_string(figures.checkMade) + "\n";
    for (const auto& key : figures.perKey) {
        text += "key " + Fixed(key.second, 3) + " " + key.first + "\n";
    }
    return text;
}

std::optional<RegistryFigures> ParseRegistryFigures(const std::string& text)
{
    std::map<std::string, std::string> values;
    RegistryFigures figures;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        std::string value;
        words >> name >> value;
        if (name == "key") {
            std::string key;
            std::getline(words >> std::ws, key);
            figures.perKey.emplace_back(key, std::atof(value.c_str()));
        } else if (!name.empty()) {
            values[name] = value;
        }
    }
    const auto ticks = values.find("steady_ticks");
    if (ticks == values.end()) {
        return std::nullopt;
    }
    figures.steadyTicks = std::strtoul(ticks->second.c_str(), nullptr, 10);
    figures.perTick = ReadSpread(values, "per_tick");
    figures.perReportTick = ReadSpread(values, "per_report_tick");
    figures.checkSeen = std::strtoul(values["check_seen"].c_str(), nullptr, 10);
    figures.checkMade = std::strtoul(values["check_made"].c_str(), nullptr, 10);
    return figures;
}

std::optional<RegistryFigures> LoadRegistryFigures(const std::string& path)
{
    if (path.empty()) {
        return std::nullopt;
    }
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return ParseRegistryFigures(text.str());
}

}  // namespace bench
