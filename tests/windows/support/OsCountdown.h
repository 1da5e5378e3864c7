#pragma once

#include "Interposer.h"

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

// What a countdown saw of the calls made while it lived.
struct CountedCalls {
    int Count = 0;
    // The name of the first call that was failed, or empty, and how it failed.
    std::string FirstFailed;
    OsFailureKind FailedKind = OsFailureKind::Never;
    // The error code it was failed with (InjectedFailureCode).
    DWORD FirstFailedCode = 0;
    // The numbers of every call failed, in order.
    std::vector<int> Failed;
    std::set<std::string> Reached;
    // Where each counted call was made from, in order.
    std::vector<CallSite> Sites;
};

// Counts every call of the product that can fail while it lives and fails
// the ones whose numbers are given, with the result and the call's own
// InjectedFailureCode where a real failure of that call would leave its code.
// With no failure nothing fails, which measures a run's calls.
class OsCountdown : public CallObserver {
public:
    explicit OsCountdown(const std::vector<FailurePoint>& failures);

    const CountedCalls& Counted() const { return counted_; }
    // The countdown's number of a call the layer numbered.
    int NumberOf(const ObservedCall& call) const { return call.Number - start_; }

    std::optional<DWORD> Before(const ObservedCall& call) override;

private:
    bool FailsNow(int number, const char* name);

    int start_;
    std::vector<FailurePoint> failures_;
    std::set<std::string> failingFromThenOn_;
    CountedCalls counted_;
};

// The names of every call a countdown counts: the list without the calls
// that are never failed.
std::set<std::string> CountedCallNames();
