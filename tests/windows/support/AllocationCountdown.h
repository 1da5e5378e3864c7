#pragma once

// Counts, while it lives, every allocation the launcher makes through the
// global operator new and fails the one whose number is given (1 for the
// first) with std::bad_alloc, as an exhausted heap would; with failAt 0
// nothing fails, which measures an operation's allocations. Allocations
// inside a call a test layer serves (an OsCountdown, which covers every fake
// beneath it, a HandleLedger, CountedOsCall, FailOsCall) are not counted: they
// are the test's, not the launcher's. Only a program that links
// AllocationCountdown.cpp, which replaces operator new, can use it.
class OsCountdown;

class AllocationCountdown {
public:
    // calls, when given, tells after how many calls the allocation failed.
    explicit AllocationCountdown(int failAt, const OsCountdown* calls = nullptr);
    ~AllocationCountdown();
    AllocationCountdown(const AllocationCountdown&) = delete;
    AllocationCountdown& operator=(const AllocationCountdown&) = delete;

    int Allocations() const;
    // The number of calls the countdown had counted when the allocation
    // failed: it falls between that call and the next.
    int FailedAfterCall() const;
};
