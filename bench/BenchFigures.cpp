#include "bench/BenchFigures.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <numeric>
#include <set>
#include <sstream>

namespace bench {

namespace {

constexpr DWORD kSecondMonitorExit = 0xFFFFFFFF;  // "@@@Start" finding the instance mutex taken

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (prefix.size() > text.size()) {
        return false;
    }
    return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.data(),
                            static_cast<int>(prefix.size()), prefix.data(),
                            static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool ContainsNoCase(const std::string& text, const std::string& part)
{
    for (size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (StartsWithNoCase(text.substr(at), part)) {
            return true;
        }
    }
    return false;
}

// One call line of the trace: "<pid>:<tid>:trace:reg:<function> (<root>,L"<key>",...)".
struct TraceCall {
    DWORD processId = 0;
    std::string function;
    std::string key;
};

std::optional<TraceCall> ParseTraceCall(const std::string& line)
{
    static const std::string kChannel = ":trace:reg:";
    const size_t channel = line.find(kChannel);
    if (channel == std::string::npos) {
        return std::nullopt;
    }
    TraceCall call;
    char* end = nullptr;
    call.processId = static_cast<DWORD>(std::strtoul(line.c_str(), &end, 16));
    if (end == line.c_str() || *end != ':') {
        return std::nullopt;
    }
    const size_t nameStart = channel + kChannel.size();
    const size_t open = line.find(" (", nameStart);
    if (open == std::string::npos) {
        return std::nullopt;  // a result line ("<- ...") or another shape
    }
    call.function = line.substr(nameStart, open - nameStart);
    // debugstr_w shows the name as L"..." with backslashes doubled.
    const size_t quote = line.find("L\"", open);
    if (quote != std::string::npos) {
        for (size_t i = quote + 2; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
            }
            call.key += line[i];
        }
    }
    return call;
}

bool IsKeyOpen(const TraceCall& call)
{
    return call.function == "NtOpenKeyEx" || call.function == "NtCreateKey";
}

template <typename Visit>
void ForEachOpen(const std::string& trace, DWORD processId, Visit visit)
{
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        const auto call = ParseTraceCall(line);
        if (call && call->processId == processId && IsKeyOpen(*call)) {
            visit(*call);
        }
    }
}

}  // namespace

Spread SpreadOf(std::vector<double> values)
{
    Spread spread;
    spread.count = values.size();
    if (values.empty()) {
        return spread;
    }
    std::sort(values.begin(), values.end());
    spread.min = values.front();
    spread.max = values.back();
    const size_t middle = values.size() / 2;
    spread.median = values.size() % 2 == 1 ? values[middle]
                                           : (values[middle - 1] + values[middle]) / 2;
    spread.mean = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    return spread;
}

double PerTick(double total, double ticks) { return ticks > 0 ? total / ticks : 0; }

std::optional<unsigned long long> ParseSchedstatRunNs(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const unsigned long long value = std::strtoull(begin, &end, 10);
    if (end == begin) {
        return std::nullopt;
    }
    return value;
}

std::optional<unsigned long long> ParseStatCpuTicks(const std::string& text)
{
    // Fields after the command name start with field 3 (state).
    const size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    unsigned long long cpu = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number >= 14) {
            cpu += std::strtoull(field.c_str(), nullptr, 10);
            if (number == 15) {
                return cpu;
            }
        }
    }
    return std::nullopt;
}

std::optional<StatIdentity> ParseStatIdentity(const std::string& text)
{
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return std::nullopt;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    const unsigned long pid = std::strtoul(begin, &end, 10);
    if (end == begin) {
        return std::nullopt;
    }
    return StatIdentity{pid, text.substr(open + 1, close - open - 1)};
}

std::string CommandLineText(const std::string& raw)
{
    std::string text = raw;
    std::replace(text.begin(), text.end(), '\0', ' ');
    const size_t last = text.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string WineCommandLine(const std::string& raw)
{
    const size_t first = raw.find('\0');
    const std::string program = raw.substr(0, first);
    const size_t slash = program.find_last_of('/');
    const std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
    if (first == std::string::npos || name.compare(0, 5, "qemu-") != 0) {
        return CommandLineText(raw);
    }
    // Past the emulator and the loader it was started for.
    const size_t loaderEnd = raw.find('\0', first + 1);
    return loaderEnd == std::string::npos ? std::string() : CommandLineText(raw.substr(loaderEnd + 1));
}

std::map<std::string, unsigned long long> ResidentKiBByMapping(const std::string& smaps)
{
    std::map<std::string, unsigned long long> resident;
    std::istringstream lines(smaps);
    std::string line;
    std::string current;
    while (std::getline(lines, line)) {
        // A mapping's head: "<start>-<end> <perms> <offset> <dev> <inode> [path]".
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode, path;
        fields >> range >> perms >> offset >> device >> inode;
        if (range.find('-') != std::string::npos && !inode.empty() &&
            std::isdigit(static_cast<unsigned char>(inode[0]))) {
            std::getline(fields >> std::ws, path);
            if (path.empty() || path[0] == '[') {
                current = "(anonymous)";
            } else {
                const size_t slash = path.find_last_of('/');
                current = slash == std::string::npos ? path : path.substr(slash + 1);
                std::transform(current.begin(), current.end(), current.begin(), [](char c) {
                    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                });
            }
            continue;
        }
        if (line.rfind("Rss:", 0) == 0 && !current.empty()) {
            resident[current] += std::strtoull(line.c_str() + 4, nullptr, 10);
        }
    }
    return resident;
}

RegistryOpenCount CountRegistryOpens(const std::string& trace, DWORD processId,
                                     const std::string& tickKey, const std::string& ignoredPrefix,
                                     const std::string& mark)
{
    RegistryOpenCount count;
    bool inTick = false;
    bool marked = false;
    double opens = 0;
    std::map<std::string, size_t> keys;
    ForEachOpen(trace, processId, [&](const TraceCall& call) {
        if (EqualNoCase(call.key, tickKey)) {
            if (inTick) {
                count.opensPerTick.push_back(opens);
                count.marked.push_back(marked);
                for (const auto& entry : keys) {
                    count.opensByKey[entry.first] += entry.second;
                }
            }
            inTick = true;
            marked = false;
            opens = 0;
            keys.clear();
        }
        if (!inTick || (!ignoredPrefix.empty() && StartsWithNoCase(call.key, ignoredPrefix))) {
            return;
        }
        ++opens;
        ++keys[call.key];
        marked = marked || (!mark.empty() && ContainsNoCase(call.key, mark));
    });
    count.ticks = count.opensPerTick.size();
    return count;
}

size_t CountOpensOfKey(const std::string& trace, DWORD processId, const std::string& key)
{
    size_t opens = 0;
    ForEachOpen(trace, processId, [&](const TraceCall& call) {
        if (EqualNoCase(call.key, key)) {
            ++opens;
        }
    });
    return opens;
}

std::map<int, std::string> HandleTypeNames(const std::map<int, std::string>& typeList,
                                           int knownHandleType, const std::string& knownName)
{
    std::map<int, std::string> names;
    for (const auto& entry : typeList) {
        if (entry.second == knownName) {
            const int offset = knownHandleType - entry.first;
            for (const auto& type : typeList) {
                names[type.first + offset] = type.second;
            }
            break;
        }
    }
    return names;
}

std::vector<CounterChange> CompareSamples(const ResourceSample& first, const ResourceSample& last)
{
    auto asNumber = [](auto value) { return static_cast<long long>(value); };
    std::vector<CounterChange> changes = {
        {"handles", asNumber(first.handles), asNumber(last.handles)},
    };
    std::set<std::string> types;
    for (const auto& entry : first.handlesByType) {
        types.insert(entry.first);
    }
    for (const auto& entry : last.handlesByType) {
        types.insert(entry.first);
    }
    auto countOf = [](const ResourceSample& sample, const std::string& type) {
        const auto found = sample.handlesByType.find(type);
        return found == sample.handlesByType.end() ? 0LL : static_cast<long long>(found->second);
    };
    for (const std::string& type : types) {
        changes.push_back({"handles." + type, countOf(first, type), countOf(last, type)});
    }
    changes.push_back({"gdi_objects", asNumber(first.gdiObjects), asNumber(last.gdiObjects)});
    changes.push_back({"user_objects", asNumber(first.userObjects), asNumber(last.userObjects)});
    changes.push_back({"private_bytes", asNumber(first.privateBytes), asNumber(last.privateBytes)});
    changes.push_back({"threads", asNumber(first.threads), asNumber(last.threads)});
    changes.push_back({"modules", asNumber(first.modules), asNumber(last.modules)});
    return changes;
}

StormSummary SummariseStorm(const std::vector<StormRound>& rounds)
{
    StormSummary summary;
    summary.rounds = rounds.size();
    std::vector<double> durations;
    for (const StormRound& round : rounds) {
        if (!round.started || !round.begunInTime) {
            ++summary.notStarted;
        }
        if (round.maxMonitorWindows > 1) {
            ++summary.twoMonitorsAtOnce;
        }
        if (round.leftBehind > 0) {
            ++summary.leavingProcesses;
            summary.processesLeft += round.leftBehind;
        }
        const bool logonOk = !round.logonExit || *round.logonExit == 0;
        const bool haltOk = !round.haltExit || *round.haltExit == 0;
        const bool monitorOk = !round.monitorExit || *round.monitorExit == 0 ||
                               *round.monitorExit == kSecondMonitorExit;
        if (!logonOk || !haltOk || !monitorOk) {
            ++summary.unexpectedExitCodes;
        }
        summary.maxProcessesAtOnce = std::max(summary.maxProcessesAtOnce, round.maxProcesses);
        durations.push_back(round.durationMs);
    }
    summary.durationMs = SpreadOf(durations);
    return summary;
}

}  // namespace bench
