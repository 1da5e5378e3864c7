#include "CallProfile.h"

#include "BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

struct Totals {
    double Seconds = 0;
    long Calls = 0;
};

std::map<std::string, Totals> totals;
Stopwatch watch;

}  // namespace

CallProfile::CallProfile()
{
    totals.clear();
}

std::optional<DWORD> CallProfile::Before(const ObservedCall&)
{
    watch = Stopwatch();
    return std::nullopt;
}

void CallProfile::After(const ObservedCall& call)
{
    Totals& entry = totals[call.Name];
    entry.Seconds += watch.Seconds();
    ++entry.Calls;
}

void CallProfile::Print(const std::string& title) const
{
    std::vector<std::pair<std::string, Totals>> rows(totals.begin(), totals.end());
    std::sort(rows.begin(), rows.end(),
        [](const auto& left, const auto& right) { return left.second.Seconds > right.second.Seconds; });
    std::printf("  calls made by %s, slowest first:\n", title.c_str());
    for (const auto& [name, entry] : rows) {
        std::printf("    %9.3f ms  %6ld  %s\n", entry.Seconds * 1000, entry.Calls, name.c_str());
    }
    std::fflush(stdout);
}
