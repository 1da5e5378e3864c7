// Platform detection against the real Windows of the prefix the test runs in.
// The prefix set-up says what to expect.
#include "InstallerLauncher.h"
#include "support/PrefixExpectations.h"

#include <gtest/gtest.h>

namespace {

TEST(Detection, ReportsThisWindows)
{
    CInstallerLauncher launcher;
    launcher.InitInstance();
    EXPECT_EQ(PrefixIs("EXPECT_64BIT_WINDOWS"), launcher.Is64BitWindows);
    EXPECT_EQ(PrefixIs("EXPECT_WINDOWS_10"), launcher.IsWindows10OrLater);
}

}  // namespace
