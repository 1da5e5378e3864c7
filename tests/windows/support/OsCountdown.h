#pragma once

#include "OsFailures.h"

#include <set>
#include <string>

// Counts every call that goes through the table while it lives and fails the
// one whose number is given (1 for the first), with the result and error code
// a real failure of that call would give; calls that cannot fail are not
// counted. With failAt 0 nothing fails, which measures a run's calls. The
// entries in the table when the countdown starts, fakes included, serve the
// calls that do not fail.
class OsCountdown {
public:
    explicit OsCountdown(int failAt, DWORD error = ERROR_ACCESS_DENIED);
    ~OsCountdown();
    OsCountdown(const OsCountdown&) = delete;
    OsCountdown& operator=(const OsCountdown&) = delete;

    int Calls() const;
    // The name of the call that was failed, or empty, and how it failed.
    const std::string& FailedCall() const;
    OsFailureKind FailedKind() const;
    // The names of the calls counted so far.
    const std::set<std::string>& Reached() const;
};

// The names of every call a countdown counts: the list without the calls
// that are never failed.
std::set<std::string> CountedCallNames();
