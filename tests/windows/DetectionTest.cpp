// Platform detection against the real Windows of the prefix the test runs in.
// The prefix set-up says what to expect.
#include "InstallerLauncher.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

bool Expected(const char* variable)
{
    const char* value = std::getenv(variable);
    EXPECT_NE(nullptr, value) << variable << " is not set";
    return value != nullptr && std::string(value) == "1";
}

TEST(Detection, ReportsThisWindows)
{
    CInstallerLauncher launcher;
    launcher.InitInstance();
    EXPECT_EQ(Expected("EXPECT_64BIT_WINDOWS"), launcher.Is64BitWindows);
    EXPECT_EQ(Expected("EXPECT_WINDOWS_10"), launcher.IsWindows10OrLater);
}

}  // namespace
