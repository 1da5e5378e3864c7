#pragma once

#include "Interposer.h"

// Counts the product's calls of one entry while it lives and fails call
// number failAt (1 for the first, 0 for none), or every call with everyCall,
// with this error code as a real failure would.
template <auto Entry>
class CountedOsCall : public CallObserver {
public:
    explicit CountedOsCall(int failAt = 0, DWORD error = ERROR_ACCESS_DENIED, bool everyCall = false)
        : failAt_(failAt), error_(error), everyCall_(everyCall)
    {
    }

    int Calls() const { return calls_; }

    std::optional<DWORD> Before(const ObservedCall& call) override
    {
        if (call.Id != OsCallTraits<Entry>::Id || (++calls_ != failAt_ && !everyCall_)) {
            return std::nullopt;
        }
        return error_;
    }

private:
    int calls_ = 0;
    int failAt_;
    DWORD error_;
    bool everyCall_;
};

// Makes every call of one entry fail with this error code while the guard
// lives: auto failing = FailOsCall<&OsCallTable::CreateFileW>(ERROR_SHARING_VIOLATION).
template <auto Entry>
CountedOsCall<Entry> FailOsCall(DWORD error)
{
    return CountedOsCall<Entry>(0, error, true);
}
