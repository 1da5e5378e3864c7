// Starting programs directly: the command line, the working folder, the kinds
// of result, and staging before running.
#include "InstallerLauncher.h"
#include "staging/ChildEnvironment.h"
#include "staging/ProgramRunner.h"
#include "support/CountedOsCall.h"
#include "support/HandleLedger.h"
#include "support/LibraryLoads.h"
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

// The values the block gives a name, in order; several mean a duplicate.
std::vector<std::wstring> ValuesOf(const std::vector<wchar_t>& block, const wchar_t* name)
{
    const size_t length = wcslen(name);
    std::vector<std::wstring> found;
    for (const std::wstring& entry : EntriesOf(block.data())) {
        if (_wcsnicmp(entry.c_str(), name, length) == 0 && entry[length] == L'=') {
            found.push_back(entry.substr(length + 1));
        }
    }
    return found;
}

// Sets variables in the launcher's own environment, as the user's would be,
// and puts the earlier values back when it ends.
class PlantedVariables {
public:
    PlantedVariables(std::initializer_list<const wchar_t*> names, const wchar_t* value) : names_(names)
    {
        for (const wchar_t* name : names_) {
            before_.push_back(Variable(name));
            SetEnvironmentVariableW(name, value);
        }
    }
    ~PlantedVariables()
    {
        for (size_t i = 0; i < names_.size(); ++i) {
            SetEnvironmentVariableW(names_[i], before_[i] ? before_[i]->c_str() : nullptr);
        }
    }

private:
    std::vector<const wchar_t*> names_;
    std::vector<std::unique_ptr<std::wstring>> before_;
};

const wchar_t* const Planted = L"C:\\users\\planted";

// An elevated child gets the machine's variables, nothing of the user's
// environment: not its temporary folder, search path or Windows folder, nor
// what makes a .NET or PowerShell child load the user's code.
TEST(ChildEnvironment, HoldsTheMachinesVariablesWithTheSetOnesAndNothingOfTheUsers)
{
    const std::wstring windows = SystemFolder().substr(0, SystemFolder().find_last_of(L'\\'));
    const std::wstring own = TemporaryFolder() + L"own-temp";
    const std::map<std::wstring, std::wstring> set = {
        {L"TMP", own},
        {L"TEMP", own},
        {L"PATH", SystemFolder() + L";" + windows + L";" + SystemFolder() + L"\\Wbem;" + SystemFolder() +
             L"\\WindowsPowerShell\\v1.0\\"},
        {L"windir", windows},
        {L"SystemRoot", windows},
    };
    const PlantedVariables planted({L"TMP", L"TEMP", L"PATH", L"windir", L"SystemRoot", L"COR_ENABLE_PROFILING",
                                       L"COR_PROFILER", L"COR_PROFILER_PATH", L"CORECLR_PROFILER", L"__COMPAT_LAYER",
                                       L"PSModulePath", L"DOTNET_STARTUP_HOOKS", L"ComSpec", L"PATHEXT",
                                       L"ProgramData", L"LAUNCHER_TEST_USERS"},
        Planted);
    const LibraryLoads loads;
    std::vector<wchar_t> block;
    ASSERT_EQ(0, BuildChildEnvironment(own, block));

    for (const auto& [name, value] : set) {
        EXPECT_EQ(std::vector<std::wstring>{value}, ValuesOf(block, name.c_str())) << name;
    }
    for (const std::wstring& entry : EntriesOf(block.data())) {
        EXPECT_EQ(std::wstring::npos, entry.find(Planted)) << entry;
    }
    for (const wchar_t* name : {L"ProgramData", L"ALLUSERSPROFILE", L"OS", L"NUMBER_OF_PROCESSORS", L"ComSpec"}) {
        EXPECT_EQ(1u, ValuesOf(block, name).size()) << name << " is the machine's";
    }
    // The machine's %SystemRoot%\system32\cmd.exe, expanded with the machine's SystemRoot.
    const std::vector<std::wstring> commandInterpreter = ValuesOf(block, L"ComSpec");
    ASSERT_EQ(1u, commandInterpreter.size());
    EXPECT_EQ(0, _wcsicmp(commandInterpreter[0].c_str(), CommandInterpreter().c_str())) << commandInterpreter[0];
    const std::vector<LibraryLoads::Load> userenv = {{L"userenv.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32}};
    EXPECT_EQ(userenv, loads.Seen());
}

// Windows 7 without KB2533623 cannot load userenv.dll from the system folder
// alone: children then get the set variables only, never the user's. Any
// other failure to read the machine's variables starts nothing.
TEST(ChildEnvironment, WithoutTheMachinesVariablesHoldsTheSetOnesOnlyOrFails)
{
    const PlantedVariables planted({L"COR_PROFILER", L"__COMPAT_LAYER"}, Planted);
    std::vector<wchar_t> block;
    {
        LibraryLoads loads;
        loads.Fail(L"userenv.dll", ERROR_INVALID_PARAMETER);
        testing::internal::CaptureStdout();
        EXPECT_EQ(0, BuildChildEnvironment(TemporaryFolder(), block));
        EXPECT_EQ("Children get TMP, TEMP, PATH, SystemRoot and windir only: userenv.dll cannot be loaded from the "
                  "system folder alone\n",
            testing::internal::GetCapturedStdout());
        std::vector<std::wstring> names;
        for (const std::wstring& entry : EntriesOf(block.data())) {
            names.push_back(entry.substr(0, entry.find(L'=')));
        }
        EXPECT_EQ(std::vector<std::wstring>({L"PATH", L"SystemRoot", L"TEMP", L"TMP", L"windir"}), names);
    }
    {
        LibraryLoads loads;
        loads.Fail(L"userenv.dll", ERROR_MOD_NOT_FOUND);
        testing::internal::CaptureStdout();
        EXPECT_EQ(ERROR_MOD_NOT_FOUND, BuildChildEnvironment(TemporaryFolder(), block));
        EXPECT_EQ("LoadLibraryExW failed (126)\n", testing::internal::GetCapturedStdout());
    }
    auto failing = FailOsCall<&OsCallTable::CreateEnvironmentBlock>(ERROR_NOT_ENOUGH_MEMORY);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, BuildChildEnvironment(TemporaryFolder(), block));
    EXPECT_EQ("CreateEnvironmentBlock failed (8)\n", testing::internal::GetCapturedStdout());
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
