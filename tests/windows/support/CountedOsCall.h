#pragma once

#include "OsFailures.h"

#include <optional>

// Counts the calls of one entry while it lives and passes each on to the
// entry it found, but for call number failAt (1 for the first, 0 for none),
// which fails with this error code as a real failure would.
template <auto Entry, typename Function = OsEntry<Entry>>
class CountedOsCall;

template <auto Entry, typename Result, typename... Arguments>
class CountedOsCall<Entry, Result(WINAPI*)(Arguments...)> {
public:
    explicit CountedOsCall(int failAt = 0, DWORD error = ERROR_ACCESS_DENIED)
    {
        counted = {Os.*Entry, 0, failAt, error};
        override_.emplace(&Call);
    }

    int Calls() const { return counted.Calls; }

private:
    static Result WINAPI Call(Arguments... arguments)
    {
        const InterposedCall call(__builtin_return_address(0));
        if (++counted.Calls == counted.FailAt) {
            return FailureResult<Result>(OsCallTraits<Entry>::Failure, counted.Error);
        }
        return counted.Found(arguments...);
    }

    static inline struct {
        OsEntry<Entry> Found;
        int Calls;
        int FailAt;
        DWORD Error;
    } counted{};
    std::optional<OsOverride<Entry>> override_;
};
