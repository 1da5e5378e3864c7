#include "CallProfile.h"

#include "BenchClock.h"
#include "support/OsFailures.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

struct Totals {
    double Seconds = 0;
    long Calls = 0;
};

OsCallTable saved;
std::map<std::string, Totals> totals;

template <auto Entry, typename Function>
struct TimedCall;

template <auto Entry, typename Result, typename... Arguments>
struct TimedCall<Entry, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
        const Stopwatch watch;
        if constexpr (std::is_void_v<Result>) {
            (saved.*Entry)(arguments...);
            Record(watch.Seconds());
        } else {
            Result result = (saved.*Entry)(arguments...);
            const DWORD error = RealOs.GetLastError();
            Record(watch.Seconds());
            RealOs.SetLastError(error);
            return result;
        }
    }

    static void Record(double seconds)
    {
        Totals& entry = totals[OsCallTraits<Entry>::Name];
        entry.Seconds += seconds;
        ++entry.Calls;
    }
};

template <auto Entry>
void Time()
{
    Os.*Entry = &TimedCall<Entry, OsEntry<Entry>>::Call;
}

}  // namespace

CallProfile::CallProfile()
{
    saved = Os;
    totals.clear();
#define OS_CALL(name, failure) Time<&OsCallTable::name>();
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
}

CallProfile::~CallProfile()
{
    Os = saved;
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
