#pragma once

#include <string>

// While alive, times every call the product makes through the OS call table,
// so a slow step can be traced to the calls it makes under this Windows.
class CallProfile {
public:
    CallProfile();
    ~CallProfile();
    CallProfile(const CallProfile&) = delete;
    CallProfile& operator=(const CallProfile&) = delete;

    // One line per call made: total seconds, count, name; the slowest first.
    void Print(const std::string& title) const;
};
