#include "OsCountdown.h"

#include "OsFailures.h"

namespace {

struct Countdown {
    OsCallTable Saved;
    int FailAt = 0;
    int Calls = 0;
    DWORD Error = 0;
    std::string FailedCall;
    OsFailureKind FailedKind = OsFailureKind::Never;
    std::set<std::string> Reached;
};
Countdown countdown;

template <auto Entry, typename Function>
struct CountedCall;

template <auto Entry, typename Result, typename... Arguments>
struct CountedCall<Entry, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
        countdown.Reached.insert(OsCallTraits<Entry>::Name);
        if (++countdown.Calls == countdown.FailAt) {
            countdown.FailedCall = OsCallTraits<Entry>::Name;
            countdown.FailedKind = OsCallTraits<Entry>::Failure;
            return FailureResult<Result>(OsCallTraits<Entry>::Failure, countdown.Error);
        }
        return (countdown.Saved.*Entry)(arguments...);
    }
};

template <auto Entry>
void Count()
{
    if constexpr (OsCallTraits<Entry>::Failure != OsFailureKind::Never) {
        using Function = std::remove_reference_t<decltype(Os.*Entry)>;
        Os.*Entry = &CountedCall<Entry, Function>::Call;
    }
}

}  // namespace

OsCountdown::OsCountdown(int failAt, DWORD error)
{
    countdown = Countdown{Os, failAt, 0, error, {}, OsFailureKind::Never, {}};
#define OS_CALL(name, failure) Count<&OsCallTable::name>();
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
}

OsCountdown::~OsCountdown()
{
    Os = countdown.Saved;
}

int OsCountdown::Calls() const
{
    return countdown.Calls;
}

const std::string& OsCountdown::FailedCall() const
{
    return countdown.FailedCall;
}

OsFailureKind OsCountdown::FailedKind() const
{
    return countdown.FailedKind;
}

const std::set<std::string>& OsCountdown::Reached() const
{
    return countdown.Reached;
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
