#pragma once

#include "OsFailures.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Where a counted call was made from: its return address as an offset into
// the program's code section, the same whatever address it was loaded at.
struct CallSite {
    std::uintptr_t Offset;
    std::string Call;
    bool operator<(const CallSite& other) const
    {
        return Offset != other.Offset ? Offset < other.Offset : Call < other.Call;
    }
};

// How long a failure lasts: the one call, or that call and every later call
// of the same entry, as a full disk would.
enum class FailureSpan { Once, FromThenOn };

struct FailurePoint {
    int Call;  // the countdown's number of the call, 1 for the first
    FailureSpan Span;
};

// Counts every call that goes through the table while it lives and fails the
// ones whose numbers are given, with the result and error code a real failure
// of that call would give; calls that cannot fail are not counted. With no
// failure (failAt 0) nothing fails, which measures a run's calls. The entries
// in the table when the countdown starts, fakes included, serve the calls
// that do not fail.
class OsCountdown {
public:
    explicit OsCountdown(int failAt, DWORD error = ERROR_ACCESS_DENIED);
    explicit OsCountdown(const std::vector<FailurePoint>& failures, DWORD error = ERROR_ACCESS_DENIED);
    ~OsCountdown();
    OsCountdown(const OsCountdown&) = delete;
    OsCountdown& operator=(const OsCountdown&) = delete;

    int Calls() const;
    // The name of the first call that was failed, or empty, and how it failed.
    const std::string& FailedCall() const;
    OsFailureKind FailedKind() const;
    // The numbers of every call failed, in order.
    const std::vector<int>& FailedCallNumbers() const;
    // The names of the calls counted so far.
    const std::set<std::string>& Reached() const;
    // Where each counted call was made from, in order.
    const std::vector<CallSite>& Sites() const;

    // For a replacement put over the countdown's entries: the next counted
    // call is the one it makes for its own caller, so that call's site is
    // this return address instead of the replacement's.
    static void NextCallFrom(void* returnAddress);
};

// The names of every call a countdown counts: the list without the calls
// that are never failed.
std::set<std::string> CountedCallNames();
