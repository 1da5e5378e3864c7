// Running programs through the shell: the request, the five kinds of result,
// and staging before running.
#include "InstallerLauncher.h"
#include "staging/ProgramRunner.h"
#include "support/OsFailures.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring CommandInterpreter()
{
    return SystemProgram(L"cmd.exe");
}

TEST(LaunchAndWait, GivesTheChildsExitCodeUnchanged)
{
    EXPECT_EQ(0, LaunchAndWait(CommandInterpreter(), L"/c exit 0"));
    EXPECT_EQ(3010, LaunchAndWait(CommandInterpreter(), L"/c exit 3010"));
    EXPECT_EQ(-2, LaunchAndWait(CommandInterpreter(), L"/c exit -2"));
}

TEST(LaunchAndWait, FileTheShellCannotOpenGivesItsErrorAtOnce)
{
    // The shell may show its own error box first; with no display to show it
    // on, Wine reports that instead of the missing file.
    const std::int32_t result = LaunchAndWait(L"C:\\windows\\no-such-program.exe", L"");
    EXPECT_TRUE(result == ERROR_FILE_NOT_FOUND || result == ERROR_INVALID_WINDOW_HANDLE) << result;
}

SHELLEXECUTEINFOW seen;
bool giveProcess = true;

BOOL WINAPI RecordingShellExecute(SHELLEXECUTEINFOW* request)
{
    seen = *request;
    if (!giveProcess) {
        request->hProcess = nullptr;
        return TRUE;
    }
    return RealOs.ShellExecuteExW(request);
}

TEST(LaunchAndWait, AsksTheShellToOpenTheFileAndKeepTheProcess)
{
    giveProcess = true;
    OsOverride recording(&OsCallTable::ShellExecuteExW, &RecordingShellExecute);
    const std::wstring file = CommandInterpreter();
    ASSERT_EQ(0, LaunchAndWait(file, L"/c exit 0"));
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOW), seen.cbSize);
    EXPECT_EQ(static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS), seen.fMask);
    EXPECT_EQ(std::wstring(L"open"), seen.lpVerb);
    EXPECT_EQ(file, seen.lpFile);
    EXPECT_EQ(std::wstring(L"/c exit 0"), seen.lpParameters);
    EXPECT_EQ(SW_SHOWDEFAULT, seen.nShow);
    EXPECT_EQ(nullptr, seen.hwnd);
    EXPECT_EQ(nullptr, seen.lpDirectory);
}

TEST(LaunchAndWait, NoProcessToWaitForOrAFailedWaitGivesMinusOne)
{
    giveProcess = false;
    {
        OsOverride noProcess(&OsCallTable::ShellExecuteExW, &RecordingShellExecute);
        EXPECT_EQ(-1, LaunchAndWait(CommandInterpreter(), L"/c exit 0"));
    }
    auto failingWait = FailOsCall<&OsCallTable::WaitForSingleObject>(ERROR_INVALID_HANDLE);
    EXPECT_EQ(-1, LaunchAndWait(CommandInterpreter(), L"/c exit 0"));
}

TEST(LaunchAndWait, FailureWithoutAnErrorCodeIsStillAFailure)
{
    {
        auto failingShell = FailOsCall<&OsCallTable::ShellExecuteExW>(ERROR_SUCCESS);
        EXPECT_EQ(1603, LaunchAndWait(CommandInterpreter(), L"/c exit 0"));
    }
    auto failingExitCode = FailOsCall<&OsCallTable::GetExitCodeProcess>(ERROR_SUCCESS);
    EXPECT_EQ(1603, LaunchAndWait(CommandInterpreter(), L"/c exit 0"));
}

int shellRequests = 0;

BOOL WINAPI CountingShellExecute(SHELLEXECUTEINFOW* request)
{
    ++shellRequests;
    return RealOs.ShellExecuteExW(request);
}

TEST(ExtractAndRun, MissingResourceStartsNothing)
{
    shellRequests = 0;
    OsOverride counting(&OsCallTable::ShellExecuteExW, &CountingShellExecute);
    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, launcher.ExtractAndRun(L"NOT_CARRIED", L"vcredist_x86.exe", L""));
    EXPECT_EQ("LocateResource failed (1814)\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0, shellRequests);
}

}  // namespace
