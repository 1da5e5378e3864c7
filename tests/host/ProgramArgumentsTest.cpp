#include "framework/ProgramArguments.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const wchar_t* commandLine;
    const wchar_t* arguments;
};

class SkipProgramNameTest : public testing::TestWithParam<Case> {};

TEST_P(SkipProgramNameTest, LeavesTheArgumentsAfterTheNameAndItsSeparators)
{
    EXPECT_EQ(std::wstring(GetParam().arguments), SkipProgramName(GetParam().commandLine));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, SkipProgramNameTest,
    testing::Values(
        Case{L"", L""},
        Case{L"InstallerLauncher.exe", L""},
        Case{L"InstallerLauncher.exe /quiet", L"/quiet"},
        Case{L"\"C:\\My Downloads\\InstallerLauncher.exe\" /quiet", L"/quiet"},
        // Every character from 1 to 32 after the name is skipped, not only blanks.
        Case{L"a.exe \t\x01\x1f -msiargs \"x\"", L"-msiargs \"x\""},
        // A tab ends an unquoted name as a blank does.
        Case{L"a.exe\t/quiet", L"/quiet"},
        // Text right after the closing quote is not a separator and stays.
        Case{L"\"a b.exe\"/quiet", L"/quiet"},
        // An unclosed quote makes the whole line the name.
        Case{L"\"a b.exe /quiet", L""},
        // Separators inside the arguments are kept.
        Case{L"a.exe  -quiet  x ", L"-quiet  x "}));

}  // namespace
