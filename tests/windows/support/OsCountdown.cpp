#include "OsCountdown.h"

#include "OsFailures.h"

#include <cstring>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct Countdown {
    OsCallTable Saved;
    std::vector<FailurePoint> Failures;
    std::set<std::string> FailingFromThenOn;
    CountedCalls Counted;
};
Countdown countdown;

// The start of the program's code section, which a source-line lookup
// counts offsets from.
std::uintptr_t CodeStart()
{
    const auto base = reinterpret_cast<std::uintptr_t>(&__ImageBase);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
    for (WORD index = 0; index < headers->FileHeader.NumberOfSections; ++index, ++section) {
        if (std::strncmp(reinterpret_cast<const char*>(section->Name), ".text", IMAGE_SIZEOF_SHORT_NAME) == 0) {
            return base + section->VirtualAddress;
        }
    }
    return base;
}

bool FailsNow(int call, const char* name)
{
    for (const FailurePoint& failure : countdown.Failures) {
        if (failure.Call == call) {
            if (failure.Span == FailureSpan::FromThenOn) {
                countdown.FailingFromThenOn.insert(name);
            }
            return true;
        }
    }
    return countdown.FailingFromThenOn.count(name) != 0;
}

template <auto Entry, typename Function>
struct CountedCall;

template <auto Entry, typename Result, typename... Arguments>
struct CountedCall<Entry, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
        const InterposedCall call(__builtin_return_address(0));
        if constexpr (OsCallTraits<Entry>::Failure != OsFailureKind::Never) {
            static const std::uintptr_t codeStart = CodeStart();
            const char* name = OsCallTraits<Entry>::Name;
            CountedCalls& counted = countdown.Counted;
            const auto caller = reinterpret_cast<std::uintptr_t>(InterposedCall::ProductCaller());
            counted.Sites.push_back({caller - codeStart, name});
            counted.Reached.insert(name);
            if (FailsNow(++counted.Count, name)) {
                counted.Failed.push_back(counted.Count);
                const DWORD error = InjectedFailureCode(counted.Count);
                if (counted.Failed.size() == 1) {
                    counted.FirstFailed = name;
                    counted.FailedKind = OsCallTraits<Entry>::Failure;
                    counted.FirstFailedCode = error;
                }
                return FailureResult<Result>(OsCallTraits<Entry>::Failure, error);
            }
        }
        return (countdown.Saved.*Entry)(arguments...);
    }
};

// Every entry, the ones never failed too, so that whatever serves a call is
// seen as inside one.
template <auto Entry>
void Count()
{
    Os.*Entry = &CountedCall<Entry, OsEntry<Entry>>::Call;
}

}  // namespace

OsCountdown::OsCountdown(const std::vector<FailurePoint>& failures)
{
    countdown = Countdown{Os, failures, {}, {}};
#define OS_CALL(name, failure) Count<&OsCallTable::name>();
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
}

OsCountdown::~OsCountdown()
{
    Os = countdown.Saved;
}

const CountedCalls& OsCountdown::Counted() const
{
    return countdown.Counted;
}

std::set<std::string> CountedCallNames()
{
    std::set<std::string> names;
#define OS_CALL(name, failure)                                    \
    if (OsFailureKind::failure != OsFailureKind::Never) {         \
        names.insert(#name);                                      \
    }
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
    return names;
}
