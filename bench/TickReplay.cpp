#include "bench/TickReplay.h"

#include <vector>

namespace bench {

namespace {

struct Search {
    const char* windowClass;
    const char* title;
};

// The monitor's searches, written out here like the tests' names: one per
// catalogue entry (by title, or by class for the InterVideo player, the
// media centre and TV Enhance), then the chat client's class.
constexpr Search kTickSearches[] = {
    {nullptr, "Windows Media Player"},
    {nullptr, "InterVideo WinDVD 7"},
    {nullptr, "InterVideo WinDVD for QUORB"},
    {"WinDVDClass", nullptr},
    {"eHome Render Window", nullptr},
    {"TVEnhance", "TV Enhance for QUORB"},
    {nullptr, "StationTV Digital"},
    {nullptr, "TVEnhance"},
    {"WinDVDClass", nullptr},
    {nullptr, "Emotional Player"},
    {"tSkMainForm.UnicodeClass", nullptr},
};

double ThreadCpuMs()
{
    FILETIME created;
    FILETIME ended;
    FILETIME kernel;
    FILETIME user;
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user)) {
        return 0;
    }
    auto units = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return (units(kernel) + units(user)) / 1e4;
}

double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}

// CPU and wall time per round of the searches chosen.
template <typename Choose>
std::pair<double, double> Time(int rounds, Choose choose)
{
    const double cpu = ThreadCpuMs();
    const double wall = NowMs();
    for (int round = 0; round < rounds; ++round) {
        for (const Search& search : kTickSearches) {
            if (choose(search)) {
                ::FindWindowA(search.windowClass, search.title);
            }
        }
    }
    return {(ThreadCpuMs() - cpu) / rounds, (NowMs() - wall) / rounds};
}

}  // namespace

ReplayCost ReplayWindowSearches(int rounds)
{
    ReplayCost cost;
    cost.rounds = rounds;
    for (const Search& search : kTickSearches) {
        ++cost.searches;
        cost.titleSearches += search.title != nullptr ? 1 : 0;
    }
    if (rounds <= 0) {
        return cost;
    }
    const auto all = Time(rounds, [](const Search&) { return true; });
    cost.cpuMsPerRound = all.first;
    cost.wallMsPerRound = all.second;
    cost.titleCpuMsPerRound = Time(rounds, [](const Search& s) { return s.title != nullptr; }).first;
    return cost;
}

}  // namespace bench
