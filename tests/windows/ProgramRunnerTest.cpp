// Starting programs directly: the command line, the working folder, the kinds
// of result, and staging before running.
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

std::wstring SystemFolder()
{
    const std::wstring interpreter = CommandInterpreter();
    return interpreter.substr(0, interpreter.find_last_of(L'\\'));
}

TEST(LaunchAndWait, GivesTheChildsExitCodeUnchanged)
{
    EXPECT_EQ(0, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder()));
    EXPECT_EQ(3010, LaunchAndWait(CommandInterpreter(), L"/c exit 3010", SystemFolder()));
    EXPECT_EQ(-2, LaunchAndWait(CommandInterpreter(), L"/c exit -2", SystemFolder()));
}

TEST(LaunchAndWait, ProgramThatDoesNotExistGivesItsErrorAtOnce)
{
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, LaunchAndWait(L"C:\\windows\\no-such-program.exe", L"", SystemFolder()));
}

TEST(LaunchAndWait, ChildRunsInTheFolderItIsGiven)
{
    const std::wstring folder = TemporaryFolder() + L"working-folder-test";
    RealOs.CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring record = TemporaryFolder() + L"working-folder.txt";
    ASSERT_EQ(0, LaunchAndWait(CommandInterpreter(), L"/c cd > \"" + record + L"\"", folder));
    const std::string seen = ReadWholeFile(record);
    EXPECT_EQ(std::string(folder.begin(), folder.end()) + "\r\n", seen);
    RealOs.DeleteFileW(record.c_str());
    RealOs.RemoveDirectoryW(folder.c_str());
}

struct Creation {
    std::wstring Application;
    std::wstring CommandLine;
    std::wstring WorkingFolder;
    BOOL InheritHandles = TRUE;
    DWORD Flags = ~0u;
};
Creation seen;

BOOL WINAPI RecordingCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    seen = {application, commandLine, workingFolder, inheritHandles, flags};
    return RealOs.CreateProcessW(application, commandLine, processAttributes, threadAttributes, inheritHandles,
        flags, environment, workingFolder, startup, child);
}

TEST(LaunchAndWait, StartsTheFullPathWithItQuotedFirstOnTheCommandLine)
{
    OsOverride recording(&OsCallTable::CreateProcessW, &RecordingCreateProcess);
    const std::wstring program = CommandInterpreter();
    ASSERT_EQ(0, LaunchAndWait(program, L"/c exit 0", SystemFolder()));
    EXPECT_EQ(program, seen.Application) << "never a name the search path resolves";
    EXPECT_EQ(L"\"" + program + L"\" /c exit 0", seen.CommandLine);
    EXPECT_EQ(SystemFolder(), seen.WorkingFolder);
    EXPECT_FALSE(seen.InheritHandles);
    EXPECT_EQ(0u, seen.Flags);

    ASSERT_EQ(0, LaunchAndWait(program, L"", SystemFolder()));
    EXPECT_EQ(L"\"" + program + L"\"", seen.CommandLine) << "no blank after the path without parameters";
}

TEST(LaunchAndWait, FailedWaitGivesMinusOne)
{
    auto failingWait = FailOsCall<&OsCallTable::WaitForSingleObject>(ERROR_INVALID_HANDLE);
    EXPECT_EQ(-1, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder()));
}

TEST(LaunchAndWait, FailureWithoutAnErrorCodeIsStillAFailure)
{
    {
        auto failingCreation = FailOsCall<&OsCallTable::CreateProcessW>(ERROR_SUCCESS);
        EXPECT_EQ(1603, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder()));
    }
    auto failingExitCode = FailOsCall<&OsCallTable::GetExitCodeProcess>(ERROR_SUCCESS);
    EXPECT_EQ(1603, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder()));
}

int creations = 0;

BOOL WINAPI CountingCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    ++creations;
    return RealOs.CreateProcessW(application, commandLine, processAttributes, threadAttributes, inheritHandles,
        flags, environment, workingFolder, startup, child);
}

TEST(ExtractAndRun, MissingResourceStartsNothing)
{
    creations = 0;
    OsOverride counting(&OsCallTable::CreateProcessW, &CountingCreateProcess);
    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, launcher.ExtractAndRun(L"NOT_CARRIED", L"vcredist_x86.exe", L""));
    EXPECT_EQ("LocateResource failed (1814)\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0, creations);
}

}  // namespace
