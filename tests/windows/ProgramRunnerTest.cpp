// Starting programs directly: the command line, the working folder, the kinds
// of result, and staging before running.
#include "InstallerLauncher.h"
#include "staging/ChildEnvironment.h"
#include "staging/ProgramRunner.h"
#include "support/HandleLedger.h"
#include "support/OsFailures.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

std::vector<wchar_t> Environment()
{
    std::vector<wchar_t> block;
    BuildChildEnvironment(TemporaryFolder(), block);
    return block;
}

TEST(LaunchAndWait, GivesTheChildsExitCodeUnchanged)
{
    EXPECT_EQ(0, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder(), Environment()));
    EXPECT_EQ(3010, LaunchAndWait(CommandInterpreter(), L"/c exit 3010", SystemFolder(), Environment()));
    EXPECT_EQ(-2, LaunchAndWait(CommandInterpreter(), L"/c exit -2", SystemFolder(), Environment()));
}

TEST(LaunchAndWait, ProgramThatDoesNotExistGivesItsErrorAtOnce)
{
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
        LaunchAndWait(L"C:\\windows\\no-such-program.exe", L"", SystemFolder(), Environment()));
}

TEST(LaunchAndWait, TheChildsProcessAndThreadHandlesAreClosedStartedOrNot)
{
    const std::vector<wchar_t> environment = Environment();
    HandleLedger ledger;
    EXPECT_EQ(0, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder(), environment));
    EXPECT_NE(0, LaunchAndWait(L"C:\\windows\\no-such-program.exe", L"", SystemFolder(), environment));
    const std::map<HandleKind, int> opened = {{HandleKind::Process, 1}, {HandleKind::Thread, 1}};
    EXPECT_EQ(opened, ledger.OpenedByKind());
    EXPECT_EQ(0, ledger.OpenCount()) << DescribeHandles(ledger.OpenByKind());
    EXPECT_TRUE(ledger.Mismatches().empty());
}

TEST(LaunchAndWait, ChildRunsInTheFolderItIsGiven)
{
    const std::wstring folder = TemporaryFolder() + L"working-folder-test";
    RealOs.CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring record = TemporaryFolder() + L"working-folder.txt";
    ASSERT_EQ(0, LaunchAndWait(CommandInterpreter(), L"/c cd > \"" + record + L"\"", folder, Environment()));
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
    std::vector<std::wstring> Environment;
};
Creation seen;
int creations = 0;

std::vector<std::wstring> EntriesOf(const void* block)
{
    std::vector<std::wstring> entries;
    for (auto entry = static_cast<const wchar_t*>(block); *entry != L'\0'; entry += wcslen(entry) + 1) {
        entries.emplace_back(entry);
    }
    return entries;
}

BOOL WINAPI RecordingCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    ++creations;
    seen = {application, commandLine, workingFolder, inheritHandles, flags, EntriesOf(environment)};
    return RealOs.CreateProcessW(application, commandLine, processAttributes, threadAttributes, inheritHandles,
        flags, environment, workingFolder, startup, child);
}

TEST(LaunchAndWait, StartsTheFullPathWithItQuotedFirstOnTheCommandLine)
{
    OsOverride<&OsCallTable::CreateProcessW> recording(&RecordingCreateProcess);
    const std::wstring program = CommandInterpreter();
    ASSERT_EQ(0, LaunchAndWait(program, L"/c exit 0", SystemFolder(), Environment()));
    EXPECT_EQ(program, seen.Application) << "never a name the search path resolves";
    EXPECT_EQ(L"\"" + program + L"\" /c exit 0", seen.CommandLine);
    EXPECT_EQ(SystemFolder(), seen.WorkingFolder);
    EXPECT_FALSE(seen.InheritHandles);
    EXPECT_EQ(static_cast<DWORD>(CREATE_UNICODE_ENVIRONMENT), seen.Flags);
    EXPECT_EQ(EntriesOf(Environment().data()), seen.Environment);

    ASSERT_EQ(0, LaunchAndWait(program, L"", SystemFolder(), Environment()));
    EXPECT_EQ(L"\"" + program + L"\"", seen.CommandLine) << "no blank after the path without parameters";
}

TEST(LaunchAndWait, FailedWaitGivesMinusOne)
{
    auto failingWait = FailOsCall<&OsCallTable::WaitForSingleObject>(ERROR_INVALID_HANDLE);
    EXPECT_EQ(-1, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder(), Environment()));
}

TEST(LaunchAndWait, FailureWithoutAnErrorCodeIsStillAFailure)
{
    {
        auto failingCreation = FailOsCall<&OsCallTable::CreateProcessW>(ERROR_SUCCESS);
        EXPECT_EQ(1603, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder(), Environment()));
    }
    auto failingExitCode = FailOsCall<&OsCallTable::GetExitCodeProcess>(ERROR_SUCCESS);
    EXPECT_EQ(1603, LaunchAndWait(CommandInterpreter(), L"/c exit 0", SystemFolder(), Environment()));
}

// The launcher's own environment variable, or null when it has none.
std::unique_ptr<std::wstring> Variable(const wchar_t* name)
{
    wchar_t value[4096];
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length != 0 && length < 4096 ? std::make_unique<std::wstring>(value, length) : nullptr;
}

// What the user's environment said must not reach an elevated child: its
// temporary folder, search path and Windows folder.
TEST(ChildEnvironment, SetsTheTemporaryFolderSearchPathAndWindowsFolderAndKeepsTheRest)
{
    const std::wstring windows = SystemFolder().substr(0, SystemFolder().find_last_of(L'\\'));
    const std::wstring own = TemporaryFolder() + L"own-temp";
    struct Case {
        const wchar_t* name;
        std::wstring childValue;
    };
    const Case cases[] = {
        {L"TMP", own},
        {L"TEMP", own},
        {L"PATH", SystemFolder() + L";" + windows + L";" + SystemFolder() + L"\\Wbem;" + SystemFolder() +
             L"\\WindowsPowerShell\\v1.0\\"},
        {L"windir", windows},
        {L"SystemRoot", windows},
        {L"LAUNCHER_TEST_KEPT", L"kept"},
    };
    std::vector<std::unique_ptr<std::wstring>> before;
    for (const Case& c : cases) {
        before.push_back(Variable(c.name));
        SetEnvironmentVariableW(c.name, c.childValue == L"kept" ? L"kept" : L"C:\\users\\planted");
    }
    std::vector<wchar_t> block;
    const std::int32_t built = BuildChildEnvironment(own, block);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SetEnvironmentVariableW(cases[i].name, before[i] ? before[i]->c_str() : nullptr);
    }
    ASSERT_EQ(0, built);
    for (const Case& c : cases) {
        const size_t length = wcslen(c.name);
        std::vector<std::wstring> found;
        for (const std::wstring& entry : EntriesOf(block.data())) {
            if (_wcsnicmp(entry.c_str(), c.name, length) == 0 && entry[length] == L'=') {
                found.push_back(entry.substr(length + 1));
            }
        }
        EXPECT_EQ(std::vector<std::wstring>{c.childValue}, found) << std::string(c.name, c.name + length);
    }
}

TEST(ExtractAndRun, MissingResourceStartsNothing)
{
    creations = 0;
    OsOverride<&OsCallTable::CreateProcessW> recording(&RecordingCreateProcess);
    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, launcher.ExtractAndRun(L"NOT_CARRIED", L"vcredist_x86.exe", L""));
    EXPECT_EQ("LocateResource failed (1814)\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0, creations);
}

// The children's temporary folder lies in the staging folder, which only
// administrators may write in, and goes with it.
TEST(ExtractAndRun, ChildGetsItsTemporaryFolderInsideTheStagingFolder)
{
    OsOverride<&OsCallTable::CreateProcessW> recording(&RecordingCreateProcess);
    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    testing::internal::CaptureStdout();
    // The test payload's bytes are no program: it is staged, then fails to start.
    launcher.ExtractAndRun(L"TEST_PAYLOAD", L"vcredist_x86.exe", L"");
    testing::internal::GetCapturedStdout();
    const std::wstring temporary = launcher.StagingDirectory + L"Temp";
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY),
        RealOs.GetFileAttributesW(temporary.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    for (const wchar_t* name : {L"TMP=", L"TEMP="}) {
        EXPECT_NE(seen.Environment.end(), std::find(seen.Environment.begin(), seen.Environment.end(), name + temporary));
    }
    launcher.RemoveStagingDirectory();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, RealOs.GetFileAttributesW(temporary.c_str()));
}

}  // namespace
