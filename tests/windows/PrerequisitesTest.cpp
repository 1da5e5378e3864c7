// Runtime prerequisites and legacy uninstallers: which run, with what, and
// what their results mean.
#include "InstallerLauncher.h"
#include "support/CountedOsCall.h"
#include "support/LibraryLoads.h"
#include "support/MutexHolder.h"
#include "support/OsFailures.h"
#include "support/ScriptedChildren.h"
#include "support/TestConfiguration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::wstring>;

std::set<std::wstring> hidden;

HRSRC WINAPI FindResourceHiding(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    if (hidden.count(name) != 0) {
        RealOs.SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return RealOs.FindResourceW(module, name, type);
}

class Prerequisites : public testing::Test {
protected:
    void SetUp() override { hidden.clear(); }
    void TearDown() override { launcher.RemoveStagingDirectory(); }

    ScopedConfiguration configuration;
    ScriptedChildren children;
    OsOverride<&OsCallTable::FindResourceW> findResource{&FindResourceHiding};
    CInstallerLauncher launcher;
};

TEST_F(Prerequisites, ThirtyTwoBitWindowsRunsOnlyTheX86Installer)
{
    EXPECT_EQ(0, launcher.InstallPrerequisites());
    ASSERT_EQ(Names{L"vcredist_x86.exe"}, children.FileNames());
    EXPECT_EQ(launcher.StagingDirectory + L"vcredist_x86.exe", children.Requests[0].File);
    EXPECT_EQ(L"/passive /norestart", children.Requests[0].Parameters);
    EXPECT_TRUE(children.Requests[0].QuotedProgramFirst);
    EXPECT_EQ(launcher.StagingDirectory, children.Requests[0].WorkingFolder) << "beside nothing but itself";
}

TEST_F(Prerequisites, SixtyFourBitWindowsRunsBothInOrder)
{
    launcher.Is64BitWindows = true;
    EXPECT_EQ(0, launcher.InstallPrerequisites());
    EXPECT_EQ(Names({L"vcredist_x86.exe", L"vcredist_x64.exe"}), children.FileNames());
}

TEST_F(Prerequisites, QuietOnlyForTheExactSpelling)
{
    launcher.Is64BitWindows = true;
    struct Case {
        const wchar_t* msiArgumentTemplate;
        const wchar_t* parameters;
    };
    for (const Case& c : {Case{L"/i $MSIPATH /quiet", L"/q /norestart"}, Case{L"/i $MSIPATH /QUIET", L"/passive /norestart"},
             Case{L"", L"/passive /norestart"}}) {
        children.Requests.clear();
        launcher.RemoveStagingDirectory();
        launcher.MsiArgumentTemplate = c.msiArgumentTemplate;
        ASSERT_EQ(0, launcher.InstallPrerequisites());
        ASSERT_EQ(2u, children.Requests.size());
        EXPECT_EQ(c.parameters, children.Requests[0].Parameters);
        EXPECT_EQ(c.parameters, children.Requests[1].Parameters);
    }
}

TEST_F(Prerequisites, SelfExtractorSwitchesWhateverTheMode)
{
    TestConfiguration.UseSelfExtractorSwitches = true;
    launcher.Is64BitWindows = true;
    launcher.MsiArgumentTemplate = L"/i $MSIPATH /quiet";
    ASSERT_EQ(0, launcher.InstallPrerequisites());
    ASSERT_EQ(2u, children.Requests.size());
    EXPECT_EQ(L"/q:a /c:\"vcredist_x86.exe /q:a /c:\"\"msiexec /i vcredist.msi /qb\"\" \"", children.Requests[0].Parameters);
    EXPECT_EQ(L"/q:a /c:\"vcredist_x64.exe /q:a /c:\"\"msiexec /i vcredist.msi /qb\"\" \"", children.Requests[1].Parameters);
}

TEST_F(Prerequisites, FailureOfTheX86InstallerIsTheResultAndStopsTheX64One)
{
    launcher.Is64BitWindows = true;
    children.ExitCodes[L"vcredist_x86.exe"] = 1603;
    EXPECT_EQ(1603, launcher.InstallPrerequisites());
    EXPECT_EQ(Names{L"vcredist_x86.exe"}, children.FileNames());
}

TEST_F(Prerequisites, InstalledOrRestartOnlyIsSuccessAndARestartIsRemembered)
{
    launcher.Is64BitWindows = true;
    for (const auto& [code, restart] : {std::pair{1638, false}, {3010, true}, {1641, true}}) {
        CInstallerLauncher run;
        run.Is64BitWindows = true;
        children.Requests.clear();
        children.ExitCodes[L"vcredist_x86.exe"] = code;
        EXPECT_EQ(0, run.InstallPrerequisites()) << code;
        EXPECT_EQ(2u, children.Requests.size()) << code;
        EXPECT_EQ(restart, run.PrerequisitesRequestedRestart) << code;
        run.RemoveStagingDirectory();
    }
}

TEST_F(Prerequisites, EachWaitsForABusyWindowsInstallerBeforeItIsStaged)
{
    struct Case {
        const char* description;
        Ending endsAs;
        std::int32_t waitSeconds;
        std::int32_t result;
        Names started;
        const char* output;
    };
    for (const Case& c : {
             Case{"released while waiting", Ending::Released, 600, 0, {L"vcredist_x86.exe"},
                 "Windows Installer is busy: waiting\nWindows Installer is free: going on\n"},
             Case{"held past the bound", Ending::Kept, 1, 1618, {},
                 "Windows Installer is busy: waiting\nWindows Installer is still busy: giving up\n"},
         }) {
        SCOPED_TRACE(c.description);
        CInstallerLauncher run;
        children.Requests.clear();
        TestConfiguration.MsiBusyWaitSeconds = c.waitSeconds;
        MutexHolder otherInstallation(L"Global\\_MSIExecute");
        bool stagedBeforeWait = true;
        const BoundedWaitWatch watch([&] {
            stagedBeforeWait = !run.StagingDirectory.empty();
            otherInstallation.End(c.endsAs);
        });
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.result, run.InstallPrerequisites());
        EXPECT_EQ(c.output, testing::internal::GetCapturedStdout());
        EXPECT_FALSE(stagedBeforeWait);
        EXPECT_EQ(c.started, children.FileNames());
        run.RemoveStagingDirectory();
    }
}

TEST_F(Prerequisites, OnlyTheCarriedOnesRun)
{
    launcher.Is64BitWindows = true;
    hidden = {L"VC2005_REDIST_32"};
    children.ExitCodes[L"vcredist_x64.exe"] = 5100;
    EXPECT_EQ(5100, launcher.InstallPrerequisites());
    EXPECT_EQ(Names{L"vcredist_x64.exe"}, children.FileNames());
    hidden = {L"VC2005_REDIST_32", L"VC2005_REDIST_64"};
    children.Requests.clear();
    EXPECT_EQ(0, launcher.InstallPrerequisites());
    EXPECT_TRUE(children.Requests.empty());
}

// Detection through Windows Installer, with its answers made up.
const wchar_t* const Redist32Codes[] = {L"{11111111-0000-0000-0000-000000000032}", L"{22222222-0000-0000-0000-000000000032}"};
const wchar_t* const Redist64Codes[] = {L"{33333333-0000-0000-0000-000000000064}"};
// Product state texts of the machine context by code; "5" is installed, "1"
// advertised. A product installed for a user only is not in it.
std::map<std::wstring, std::wstring> machineStates;

UINT WINAPI ProductInfoFake(LPCWSTR code, LPCWSTR userSid, MSIINSTALLCONTEXT context, LPCWSTR property, LPWSTR value,
                            LPDWORD length)
{
    const bool machineState =
        userSid == nullptr && context == MSIINSTALLCONTEXT_MACHINE && std::wcscmp(property, INSTALLPROPERTY_PRODUCTSTATE) == 0;
    if (!machineState) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto state = machineStates.find(code);
    if (state == machineStates.end()) {
        return ERROR_UNKNOWN_PRODUCT;
    }
    if (state->second.size() >= *length) {
        return ERROR_MORE_DATA;
    }
    std::wcscpy(value, state->second.c_str());
    *length = static_cast<DWORD>(state->second.size());
    return ERROR_SUCCESS;
}

class PrerequisiteDetection : public Prerequisites {
protected:
    void SetUp() override
    {
        Prerequisites::SetUp();
        launcher.Is64BitWindows = true;
        TestConfiguration.InstalledRedist32 = {Redist32Codes, 2};
        TestConfiguration.InstalledRedist64 = {Redist64Codes, 1};
    }

    // What InstallPrerequisites printed; the programs run are in children.
    std::string Install()
    {
        children.Requests.clear();
        launcher.RemoveStagingDirectory();
        testing::internal::CaptureStdout();
        EXPECT_EQ(0, launcher.InstallPrerequisites());
        return testing::internal::GetCapturedStdout();
    }

    OsOverride<&OsCallTable::MsiGetProductInfoExW> productInfo{&ProductInfoFake};
};

TEST_F(PrerequisiteDetection, AnInstalledCodeKeepsItsPrerequisiteFromBeingStagedOrRun)
{
    const Names both = {L"vcredist_x86.exe", L"vcredist_x64.exe"};
    struct Case {
        const char* description;
        std::map<std::wstring, std::wstring> installed;
        Names run;
        std::string output;
    };
    for (const Case& c : {
             Case{"codes absent", {}, both, ""},
             Case{"advertised", {{Redist32Codes[0], L"1"}, {Redist64Codes[0], L"1"}}, both, ""},
             Case{"second 32-bit code installed", {{Redist32Codes[1], L"5"}}, {L"vcredist_x64.exe"},
                 "Prerequisite VC2005_REDIST_32 is installed ({22222222-0000-0000-0000-000000000032}): not run\n"},
             Case{"both installed", {{Redist32Codes[0], L"5"}, {Redist64Codes[0], L"5"}}, {},
                 "Prerequisite VC2005_REDIST_32 is installed ({11111111-0000-0000-0000-000000000032}): not run\n"
                 "Prerequisite VC2005_REDIST_64 is installed ({33333333-0000-0000-0000-000000000064}): not run\n"},
         }) {
        SCOPED_TRACE(c.description);
        machineStates = c.installed;
        EXPECT_EQ(c.output, Install());
        EXPECT_EQ(c.run, children.FileNames());
        EXPECT_EQ(c.run.empty(), launcher.StagingDirectory.empty()) << "staged only for what runs";
    }
}

// A DLL loaded by its full path would have its own dependencies searched for
// along PATH, which the user who started the run sets.
TEST_F(PrerequisiteDetection, EveryDllIsLoadedByNameFromTheSystemFolderAlone)
{
    const LibraryLoads loads;
    Install();
    const LibraryLoads::Load msi{L"msi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32};
    EXPECT_EQ(1, std::count(loads.Seen().begin(), loads.Seen().end(), msi));
    for (const LibraryLoads::Load& load : loads.Seen()) {
        EXPECT_EQ(static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32), load.Flags) << load.Name;
        EXPECT_EQ(std::wstring::npos, load.Name.find(L'\\')) << load.Name;
    }
}

TEST_F(PrerequisiteDetection, WithoutCodesWindowsInstallerIsNotAsked)
{
    TestConfiguration.InstalledRedist32 = {Redist32Codes, 0};
    TestConfiguration.InstalledRedist64 = {Redist64Codes, 0};
    machineStates = {{Redist32Codes[0], L"5"}, {Redist64Codes[0], L"5"}};
    LibraryLoads loads;
    loads.Fail(L"msi.dll", ERROR_ACCESS_DENIED);
    EXPECT_EQ("", Install());
    EXPECT_EQ(Names({L"vcredist_x86.exe", L"vcredist_x64.exe"}), children.FileNames());
}

// A failure to ask is not an answer: both prerequisites run, and the run
// says so once. Windows 7 without KB2533623 refuses to load from the system
// folder alone (87): msi.dll is then not loaded by a wider search.
TEST_F(PrerequisiteDetection, AFailureToAskRunsThePrerequisitesAndIsSaidOnce)
{
    machineStates = {{Redist32Codes[0], L"5"}, {Redist64Codes[0], L"5"}};
    const Names both = {L"vcredist_x86.exe", L"vcredist_x64.exe"};
    for (const DWORD error : {ERROR_MOD_NOT_FOUND, ERROR_INVALID_PARAMETER}) {
        LibraryLoads loads;
        loads.Fail(L"msi.dll", error);
        EXPECT_EQ("LoadLibraryExW failed (" + std::to_string(error) + ")\n", Install());
        EXPECT_EQ(both, children.FileNames());
        EXPECT_EQ(1, std::count_if(loads.Seen().begin(), loads.Seen().end(),
                         [](const LibraryLoads::Load& load) { return load.Name == L"msi.dll"; }));
    }
    auto failingQuery = FailOsCall<&OsCallTable::MsiGetProductInfoExW>(ERROR_BAD_CONFIGURATION);
    EXPECT_EQ("MsiGetProductInfoExW failed (1610)\n", Install());
    EXPECT_EQ(both, children.FileNames());
}

TEST_F(Prerequisites, SecondLegacyUninstallersResultIsTheOneThatCounts)
{
    struct Case {
        std::int32_t first;
        std::int32_t second;
        std::int32_t expected;
    };
    for (const Case& c : {Case{1, 0, 0}, Case{0, 2, 2}, Case{0, 0, 0}}) {
        children.Requests.clear();
        launcher.RemoveStagingDirectory();
        children.ExitCodes[L"vq_isu.exe"] = c.first;
        children.ExitCodes[L"vq_isu2.exe"] = c.second;
        EXPECT_EQ(c.expected, launcher.RunLegacyUninstallers());
        ASSERT_EQ(Names({L"vq_isu.exe", L"vq_isu2.exe"}), children.FileNames());
        EXPECT_EQ(L"", children.Requests[0].Parameters);
    }
}

TEST_F(Prerequisites, LegacyUninstallersThatAreNotCarriedAreSkipped)
{
    hidden = {L"UNINST2"};
    children.ExitCodes[L"vq_isu.exe"] = 7;
    EXPECT_EQ(7, launcher.RunLegacyUninstallers());
    hidden = {L"UNINST", L"UNINST2"};
    children.Requests.clear();
    EXPECT_EQ(0, launcher.RunLegacyUninstallers());
    EXPECT_TRUE(children.Requests.empty());
}

}  // namespace
