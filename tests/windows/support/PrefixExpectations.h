#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// What the prefix the test runs in is, as its set-up says ("1" for yes): the
// oracle for detection, never the launcher's own answer.
inline bool PrefixIs(const char* variable)
{
    const char* value = std::getenv(variable);
    EXPECT_NE(nullptr, value) << variable << " is not set";
    return value != nullptr && std::string(value) == "1";
}
