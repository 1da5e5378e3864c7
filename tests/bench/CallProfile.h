#pragma once

#include "support/Interposer.h"

#include <string>

// While alive, times every call the product makes through the OS call table,
// so a slow step can be traced to the calls it makes under this Windows.
class CallProfile : public CallObserver {
public:
    CallProfile();

    // One line per call made: total seconds, count, name; the slowest first.
    void Print(const std::string& title) const;

    std::optional<DWORD> Before(const ObservedCall& call) override;
    void After(const ObservedCall& call) override;
};
