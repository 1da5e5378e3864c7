#include "AllocationCountdown.h"

#include "OsCountdown.h"
#include "OsFailures.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace {

struct Countdown {
    OsCallTable Saved;
    bool Armed = false;
    int FailAt = 0;
    int Allocations = 0;
    const OsCountdown* Calls = nullptr;
    int FailedAfterCall = 0;
};
Countdown countdown;

// Counts nothing while it lives.
struct Disarmed {
    const bool Armed = std::exchange(countdown.Armed, false);
    ~Disarmed() { countdown.Armed = Armed; }
};

template <auto Entry, typename Function>
struct UncountedCall;

template <auto Entry, typename Result, typename... Arguments>
struct UncountedCall<Entry, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
        const Disarmed disarmed;
        return (countdown.Saved.*Entry)(arguments...);
    }
};

template <auto Entry>
void LeaveUncounted()
{
    Os.*Entry = &UncountedCall<Entry, OsEntry<Entry>>::Call;
}

}  // namespace

// The array and nothrow forms of the runtime come here too.
void* operator new(std::size_t size)
{
    if (countdown.Armed && ++countdown.Allocations == countdown.FailAt) {
        countdown.FailedAfterCall = countdown.Calls != nullptr ? countdown.Calls->Counted().Count : 0;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size != 0 ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

AllocationCountdown::AllocationCountdown(int failAt, const OsCountdown* calls)
{
    countdown = Countdown{Os, false, failAt, 0, calls, 0};
#define OS_CALL(name, failure) LeaveUncounted<&OsCallTable::name>();
#include "platform/OsCallList.h"
#undef OS_CALL
    countdown.Armed = true;
}

AllocationCountdown::~AllocationCountdown()
{
    countdown.Armed = false;
    Os = countdown.Saved;
}

int AllocationCountdown::Allocations() const
{
    return countdown.Allocations;
}

int AllocationCountdown::FailedAfterCall() const
{
    return countdown.FailedAfterCall;
}
