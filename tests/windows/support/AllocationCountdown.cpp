#include "AllocationCountdown.h"

#include "Interposer.h"

#include <cstdlib>
#include <new>

namespace {

struct Countdown {
    bool Armed = false;
    int FailAt = 0;
    int Allocations = 0;
    int CallsBefore = 0;
    int FailedAfterCall = 0;
};
Countdown countdown;

}  // namespace

// The array and nothrow forms of the runtime come here too.
void* operator new(std::size_t size)
{
    if (countdown.Armed && !InterposedCall::Inside() && ++countdown.Allocations == countdown.FailAt) {
        countdown.FailedAfterCall = CallsCounted() - countdown.CallsBefore;
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

AllocationCountdown::AllocationCountdown(int failAt)
{
    countdown = Countdown{true, failAt, 0, CallsCounted(), 0};
}

AllocationCountdown::~AllocationCountdown()
{
    countdown.Armed = false;
}

int AllocationCountdown::Allocations() const
{
    return countdown.Allocations;
}

int AllocationCountdown::FailedAfterCall() const
{
    return countdown.FailedAfterCall;
}
