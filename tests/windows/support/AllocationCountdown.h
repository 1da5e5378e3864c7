#pragma once

// Counts, while it lives, every allocation the launcher makes through the
// global operator new and fails the one whose number is given (1 for the
// first) with std::bad_alloc, as an exhausted heap would; with failAt 0
// nothing fails, which measures an operation's allocations. Allocations
// inside a call through the table, by its observers or the fakes beneath
// them, are not counted: they are the test's, not the launcher's. Only a
// program that links AllocationCountdown.cpp, which replaces operator new,
// can use it.
class AllocationCountdown {
public:
    explicit AllocationCountdown(int failAt);
    ~AllocationCountdown();
    AllocationCountdown(const AllocationCountdown&) = delete;
    AllocationCountdown& operator=(const AllocationCountdown&) = delete;

    int Allocations() const;
    // The number of calls that can fail made since the countdown started,
    // when the allocation failed: it falls between that call and the next.
    int FailedAfterCall() const;
};
