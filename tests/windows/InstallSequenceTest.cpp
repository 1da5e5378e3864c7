// The install sequence with its steps replaced: order, stop rules, prompt,
// platform detection and the start-up failure.
#include "InstallerLauncher.h"
#include "RunLock.h"
#include "support/CountedOsCall.h"
#include "support/MutexHolder.h"
#include "support/OsFailures.h"
#include "support/RecordedSteps.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <aclapi.h>

namespace {

using Sequence = std::vector<std::string>;

const Sequence PreparingAndInstalling = {
    "TerminateListedProcesses", "RemovePreviousProducts", "NotifyDeviceMonitorService", "BackupDriverSettings",
    "InstallMainPackage", "ReleaseDriverSettingsBackup", "RemoveStagingDirectory"};

Sequence Then(Sequence first, const Sequence& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

// What the fakes below answer and what they saw.
struct Machine {
    bool CarriesUninst = false;
    const wchar_t* PromptText = L"Remove the earlier driver and install this one?";
    const wchar_t* PromptCaption = L"TAVRIN Driver Installer";
    int Answer = IDYES;
    int PromptsShown = 0;
    HWND PromptOwner = nullptr;
    UINT PromptStyle = 0;
    std::wstring ShownText;
    std::wstring ShownCaption;
    INITCOMMONCONTROLSEX Controls = {};
};
Machine machine;

const HWND ActiveWindow = reinterpret_cast<HWND>(0x1234);

HRSRC WINAPI FindResourceFake(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    if (machine.CarriesUninst && module == RealOs.GetModuleHandleW(nullptr) && !IS_INTRESOURCE(name) &&
        !IS_INTRESOURCE(type) && std::wstring(name) == L"UNINST" && std::wstring(type) == L"EXE") {
        return reinterpret_cast<HRSRC>(0x10);
    }
    RealOs.SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

int WINAPI LoadStringFake(HINSTANCE, UINT id, LPWSTR buffer, int bufferMax)
{
    const wchar_t* text = id == 500 ? machine.PromptText : id == 501 ? machine.PromptCaption : nullptr;
    if (text == nullptr || bufferMax != 0) {
        return 0;
    }
    *reinterpret_cast<const wchar_t**>(buffer) = text;
    return static_cast<int>(wcslen(text));
}

int WINAPI MessageBoxFake(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    ++machine.PromptsShown;
    machine.PromptOwner = owner;
    machine.ShownText = text;
    machine.ShownCaption = caption;
    machine.PromptStyle = style;
    return machine.Answer;
}

HWND WINAPI GetActiveWindowFake()
{
    return ActiveWindow;
}

BOOL WINAPI InitCommonControlsExFake(const INITCOMMONCONTROLSEX* controls)
{
    machine.Controls = *controls;
    return TRUE;
}

class InstallSequence : public testing::Test {
protected:
    void SetUp() override
    {
        machine = Machine{};
        Steps = RecordedSteps{};
    }

    Sequence Run(const wchar_t* arguments = L"")
    {
        launcher.m_lpCmdLine = arguments;
        RemoveSupportLogs();
        EXPECT_EQ(FALSE, launcher.InitInstance());
        return Steps.Calls;
    }

    ScopedConfiguration configuration;
    OsOverride<&OsCallTable::FindResourceW> findResource{&FindResourceFake};
    OsOverride<&OsCallTable::LoadStringW> loadString{&LoadStringFake};
    OsOverride<&OsCallTable::MessageBoxW> messageBox{&MessageBoxFake};
    OsOverride<&OsCallTable::GetActiveWindow> activeWindow{&GetActiveWindowFake};
    OsOverride<&OsCallTable::InitCommonControlsEx> commonControls{&InitCommonControlsExFake};
    CInstallerLauncher launcher;
};

TEST_F(InstallSequence, WithoutLegacyUninstallerRunsPrerequisitesThenEveryLaterStepInOrder)
{
    EXPECT_EQ(Then({"InstallPrerequisites"}, PreparingAndInstalling), Run());
    EXPECT_EQ(0, machine.PromptsShown);
}

TEST_F(InstallSequence, RegistersTheCommonControlClasses)
{
    Run();
    EXPECT_EQ(8u, machine.Controls.dwSize);
    EXPECT_EQ(0xFFu, machine.Controls.dwICC);
}

TEST_F(InstallSequence, ReadsTheTemplateFromTheCommandLine)
{
    Run(L"-quiet");
    EXPECT_EQ(L"/i $MSIPATH /quiet", launcher.MsiArgumentTemplate);
}

TEST_F(InstallSequence, HelpShowsTheOptionsAndEndsWithZeroWhateverTheBoxAnswers)
{
    // Help takes no lock: another run holding it changes nothing.
    TestConfiguration.MsiBusyWaitSeconds = 1;
    const MutexHolder otherRun(RunLockName().c_str());
    for (const wchar_t* arguments : {L"/?", L"-?", L"-help", L"-quiet /HELP"}) {
        // -1: a machine without a desktop answers at once.
        for (const int answer : {IDOK, -1, 0}) {
            SetUp();
            machine.CarriesUninst = true;
            machine.Answer = answer;
            CInstallerLauncher run;
            run.m_lpCmdLine = arguments;
            run.InitInstance();
            EXPECT_EQ(0, run.ExitInstance());
            EXPECT_EQ(Sequence{}, Steps.Calls);
            EXPECT_EQ(1, machine.PromptsShown);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), machine.PromptStyle);
            EXPECT_EQ(L"TAVRIN", machine.ShownCaption);
            EXPECT_NE(std::wstring::npos, machine.ShownText.find(L"-norestart"));
        }
    }
}

TEST_F(InstallSequence, ReadsNoRestartFromTheCommandLine)
{
    Run(L"-quiet -norestart");
    EXPECT_TRUE(launcher.NoRestart);
    EXPECT_EQ(L"/i $MSIPATH /quiet /norestart", launcher.MsiArgumentTemplate);
}

TEST_F(InstallSequence, FailedPrerequisiteEndsTheRun)
{
    Steps.Results["InstallPrerequisites"] = 1603;
    EXPECT_EQ(Sequence{"InstallPrerequisites"}, Run());
}

TEST_F(InstallSequence, ConfiguredToContinueAfterAFailedPrerequisite)
{
    TestConfiguration.ContinueAfterPrerequisiteFailure = true;
    Steps.Results["InstallPrerequisites"] = 1603;
    EXPECT_EQ(Then({"InstallPrerequisites"}, PreparingAndInstalling), Run());
}

TEST_F(InstallSequence, LaterStepsRunWhateverTheyReturn)
{
    for (const std::string& step : PreparingAndInstalling) {
        Steps.Results[step] = -1;
    }
    EXPECT_EQ(Then({"InstallPrerequisites"}, PreparingAndInstalling), Run());
}

TEST_F(InstallSequence, AgreedPromptRunsPrerequisitesLegacyUninstallersAndTheRest)
{
    machine.CarriesUninst = true;
    EXPECT_EQ(Then({"InstallPrerequisites", "RunLegacyUninstallers"}, PreparingAndInstalling), Run());
    EXPECT_EQ(1, machine.PromptsShown);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), machine.PromptStyle);
    EXPECT_EQ(ActiveWindow, machine.PromptOwner);
    EXPECT_EQ(machine.PromptText, machine.ShownText);
    EXPECT_EQ(machine.PromptCaption, machine.ShownCaption);
}

TEST_F(InstallSequence, AnyAnswerButYesEndsTheRunBeforeAnything)
{
    machine.CarriesUninst = true;
    for (const int answer : {IDNO, IDCANCEL, 0}) {
        Steps = RecordedSteps{};
        machine.Answer = answer;
        EXPECT_EQ(Sequence{}, Run()) << "answer " << answer;
    }
}

TEST_F(InstallSequence, MissingOrEmptyPromptStringSkipsThePrompt)
{
    machine.CarriesUninst = true;
    const Sequence expected = Then({"InstallPrerequisites", "RunLegacyUninstallers"}, PreparingAndInstalling);
    for (const auto& [text, caption] : {std::pair<const wchar_t*, const wchar_t*>{nullptr, L"Caption"},
             {L"Text", nullptr}, {L"", L"Caption"}, {L"Text", L""}}) {
        Steps = RecordedSteps{};
        machine.PromptText = text;
        machine.PromptCaption = caption;
        EXPECT_EQ(expected, Run());
    }
    EXPECT_EQ(0, machine.PromptsShown);
}

TEST_F(InstallSequence, FailedLegacyUninstallerEndsTheRunEvenWhenConfiguredToContinue)
{
    machine.CarriesUninst = true;
    TestConfiguration.ContinueAfterPrerequisiteFailure = true;
    Steps.Results["RunLegacyUninstallers"] = 2;
    EXPECT_EQ(Sequence({"InstallPrerequisites", "RunLegacyUninstallers"}), Run());
}

TEST_F(InstallSequence, FailedPrerequisiteEndsTheRunBeforeTheLegacyUninstallers)
{
    machine.CarriesUninst = true;
    Steps.Results["InstallPrerequisites"] = 3010;
    EXPECT_EQ(Sequence{"InstallPrerequisites"}, Run());
}

TEST_F(InstallSequence, ExitCodeTellsHowTheRunEnded)
{
    struct Case {
        const char* description;
        bool carriesUninst;
        int answer;
        std::int32_t prerequisites;
        bool restart;
        bool continueAfterFailure;
        std::int32_t legacy;
        std::int32_t package;
        int exitCode;
    };
    for (const Case& c : {
             Case{"installed", false, IDYES, 0, false, false, 0, 0, 0},
             Case{"package failed", false, IDYES, 0, false, false, 0, 1603, 1603},
             Case{"package wants a restart", false, IDYES, 0, false, false, 0, 3010, 3010},
             Case{"package could not be written", false, IDYES, 0, false, false, 0, 1814, 1814},
             Case{"prerequisite wants a restart", false, IDYES, 0, true, false, 0, 0, 3010},
             Case{"package failure outweighs a restart", false, IDYES, 0, true, false, 0, 1603, 1603},
             Case{"prerequisite failed", false, IDYES, 1603, false, false, 0, 0, 1603},
             Case{"tolerated prerequisite failure", false, IDYES, 1603, false, true, 0, 0, 0},
             Case{"declined", true, IDNO, 0, false, false, 0, 0, 1602},
             Case{"legacy uninstaller failed", true, IDYES, 0, false, false, 4, 0, 4},
             Case{"busy Windows Installer is never tolerated", false, IDYES, 1618, false, true, 0, 0, 1618},
         }) {
        Steps = RecordedSteps{};
        machine.CarriesUninst = c.carriesUninst;
        machine.Answer = c.answer;
        TestConfiguration.ContinueAfterPrerequisiteFailure = c.continueAfterFailure;
        Steps.Results["InstallPrerequisites"] = c.prerequisites;
        Steps.PrerequisitesRequestRestart = c.restart;
        Steps.Results["RunLegacyUninstallers"] = c.legacy;
        Steps.Results["InstallMainPackage"] = c.package;
        CInstallerLauncher run;
        run.InitInstance();
        EXPECT_EQ(c.exitCode, run.ExitInstance()) << c.description;
    }
}

TEST_F(InstallSequence, BusyWindowsInstallerBeforeAPrerequisiteEndsTheRunEvenWhenFailuresAreTolerated)
{
    TestConfiguration.ContinueAfterPrerequisiteFailure = true;
    Steps.Results["InstallPrerequisites"] = 1618;
    EXPECT_EQ(Sequence{"InstallPrerequisites"}, Run());
}

// What another thread, standing for the next run, gets when it tries to take
// the lock at once: WAIT_TIMEOUT while someone else holds it.
DWORD TakenByAnotherThread(HANDLE lock)
{
    DWORD taken = WAIT_FAILED;
    std::thread([&] {
        taken = WaitForSingleObject(lock, 0);
        if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) {
            ReleaseMutex(lock);
        }
    }).join();
    return taken;
}

class RunLock : public InstallSequence {
protected:
    // The exit code of a whole run; what it printed goes to output.
    int RunCapturing()
    {
        CInstallerLauncher run;
        RemoveSupportLogs();
        testing::internal::CaptureStdout();
        run.InitInstance();
        output = testing::internal::GetCapturedStdout();
        return run.ExitInstance();
    }

    // What a run that did not get the lock prints: its lines, then the one
    // that names the folder of its own where it logged them, which it checks.
    static std::string LoggedApart(const std::string& lines)
    {
        const std::vector<std::wstring> folders = FallbackLogFolders();
        if (folders.size() != 1) {
            return "one folder apart for the log, not " + std::to_string(folders.size());
        }
        std::error_code ignored;
        const std::filesystem::directory_iterator logs(folders[0], ignored);
        const std::string log = logs != std::filesystem::directory_iterator() ? ReadWholeFile(logs->path()) : "";
        std::istringstream printed(lines);
        for (std::string line; std::getline(printed, line);) {
            EXPECT_NE(std::string::npos, log.find(line)) << line;
        }
        const std::string folder(folders[0].begin(), folders[0].end());
        return lines + "Log written to " + folder + ": another run holds the run lock\n";
    }

    std::string output;
};

TEST_F(RunLock, AnotherRunIsWaitedForThenTheRunGoesOnOrEndsWithBusyHavingDoneNothing)
{
    struct Case {
        const char* description;
        Ending endsAs;
        std::int32_t waitSeconds;
        int exitCode;
        Sequence steps;
        const char* output;
    };
    const Sequence everyStep = Then({"InstallPrerequisites"}, PreparingAndInstalling);
    for (const Case& c : {
             Case{"released while waiting", Ending::Released, 600, 0, everyStep,
                 "Another run of the launcher is in progress: waiting\n"
                 "Another run of the launcher has ended: going on\n"},
             Case{"abandoned by a killed run", Ending::Abandoned, 600, 0, everyStep,
                 "Another run of the launcher is in progress: waiting\n"
                 "An earlier run of the launcher ended without letting go of its lock: going on\n"},
             Case{"held past the bound", Ending::Kept, 1, 1618, {},
                 "Another run of the launcher is in progress: waiting\n"
                 "Another run of the launcher is still in progress: giving up\n"},
         }) {
        SCOPED_TRACE(c.description);
        SetUp();
        TestConfiguration.MsiBusyWaitSeconds = c.waitSeconds;
        MutexHolder otherRun(RunLockName().c_str());
        size_t stepsBeforeWait = 0;
        const BoundedWaitWatch watch([&] {
            stepsBeforeWait = Steps.Calls.size();
            otherRun.End(c.endsAs);
        });
        EXPECT_EQ(c.exitCode, RunCapturing());
        EXPECT_EQ(1, watch.Waits());
        EXPECT_EQ(0u, stepsBeforeWait) << "a step ran while the other run held the lock";
        EXPECT_EQ(c.steps, Steps.Calls);
        EXPECT_EQ(c.exitCode == 1618 ? LoggedApart(c.output) : c.output, output);
    }
}

// The lock as the run made it, read back from the object.
struct MadeLock {
    std::wstring Name;
    DWORD Access = 0;
    std::wstring OwnerAndAccess;
};
MadeLock madeLock;

HANDLE WINAPI ReadingBackCreateMutex(LPSECURITY_ATTRIBUTES security, LPCWSTR name, DWORD flags, DWORD access)
{
    const HANDLE lock = RealOs.CreateMutexExW(security, name, flags, access);
    madeLock = MadeLock{name, access, L""};
    const HANDLE readable = OpenMutexW(READ_CONTROL, FALSE, name);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LPWSTR text = nullptr;
    if (GetSecurityInfo(readable, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
            nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
        ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr)) {
        madeLock.OwnerAndAccess = text;
    }
    LocalFree(text);
    LocalFree(descriptor);
    CloseHandle(readable);
    return lock;
}

// What another thread got when it tried to take the lock at each step.
HANDLE watchedLock = nullptr;
std::vector<DWORD> takenDuringSteps;

void TryLockAtEachStep(const wchar_t* step)
{
    // The detections and the lock's own step come before it is taken.
    const bool beforeTheLock = step == nullptr || std::wstring(step).rfind(L"Detect", 0) == 0 ||
        std::wstring(step) == L"TakeRunLock";
    if (!beforeTheLock) {
        takenDuringSteps.push_back(TakenByAnotherThread(watchedLock));
    }
}

TEST_F(RunLock, IsMadeProtectedUnderTheProductsNameHeldThroughTheRunAndLetGoAfter)
{
    OsOverride<&OsCallTable::CreateMutexExW> readingBack(&ReadingBackCreateMutex);
    EXPECT_EQ(0, RunCapturing());
    EXPECT_EQ(std::wstring(L"Global\\InstallerLauncher_") + TestConfiguration.SettingsGuid, madeLock.Name);
    EXPECT_EQ(static_cast<DWORD>(SYNCHRONIZE | MUTEX_MODIFY_STATE), madeLock.Access);
    EXPECT_EQ(L"O:BAD:P(A;;0x1f0001;;;SY)(A;;0x1f0001;;;BA)", madeLock.OwnerAndAccess);

    // Made by the test first, so that it outlives the run.
    watchedLock = CreateMutexW(nullptr, FALSE, RunLockName().c_str());
    takenDuringSteps.clear();
    Steps = RecordedSteps{};
    InstallStepObserver = &TryLockAtEachStep;
    EXPECT_EQ(0, RunCapturing());
    InstallStepObserver = nullptr;
    EXPECT_EQ(std::vector<DWORD>(Steps.Calls.size(), WAIT_TIMEOUT), takenDuringSteps);
    // Let go, not left to be abandoned: this thread lives on.
    EXPECT_EQ(WAIT_OBJECT_0, TakenByAnotherThread(watchedLock));
    CloseHandle(watchedLock);
}

TEST_F(RunLock, ANameAnotherAccountHoldsEndsTheRunWithBusyAndSaysSo)
{
    // Made first, by a standard user, with an access list that lets nobody in.
    PSECURITY_DESCRIPTOR nobody = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1, &nobody, nullptr));
    SECURITY_ATTRIBUTES security = {sizeof(security), nobody, FALSE};
    const std::wstring name = RunLockName();
    const HANDLE squatted = CreateMutexW(&security, FALSE, name.c_str());
    ASSERT_NE(nullptr, squatted);
    EXPECT_EQ(1618, RunCapturing());
    EXPECT_EQ(Sequence{}, Steps.Calls);
    EXPECT_EQ(
        LoggedApart("The run lock " + std::string(name.begin(), name.end()) + " is held by another account: giving up\n"),
        output);
    CloseHandle(squatted);
    LocalFree(nobody);
}

TEST_F(InstallSequence, EarlyStopAfterStagingLeavesNothingStaged)
{
    Steps.PrerequisitesStageInto = L"C:\\users\\x\\Temp\\guid\\";
    Steps.Results["InstallPrerequisites"] = 1603;
    EXPECT_EQ(Sequence({"InstallPrerequisites", "RemoveStagingDirectory"}), Run());

    Steps = RecordedSteps{};
    machine.CarriesUninst = true;
    Steps.PrerequisitesStageInto = L"C:\\users\\x\\Temp\\guid\\";
    Steps.Results["RunLegacyUninstallers"] = 2;
    CInstallerLauncher second;
    second.InitInstance();
    EXPECT_EQ(Sequence({"InstallPrerequisites", "RunLegacyUninstallers", "RemoveStagingDirectory"}), Steps.Calls);
}

// Detection, with the calls answered by fakes.
BOOL isWow64Answer = FALSE;
DWORD isWow64Error = 0;
int versionMajor = 0;
DWORD versionRecordSize = 0;

BOOL WINAPI IsWow64ProcessFake(HANDLE, PBOOL isWow64)
{
    if (isWow64Error != 0 || isWow64Answer == -1) {
        RealOs.SetLastError(isWow64Error);
        return FALSE;
    }
    *isWow64 = isWow64Answer;
    return TRUE;
}

// What IsWow64Process2 answers: the real one when Real.
enum class NativeMachineAnswer { Real, Missing, Fails, Told };
NativeMachineAnswer nativeAnswer = NativeMachineAnswer::Real;
USHORT nativeMachine = 0;

BOOL WINAPI IsWow64Process2Fake(HANDLE process, USHORT* processMachine, USHORT* machineOut)
{
    switch (nativeAnswer) {
    case NativeMachineAnswer::Real:
        return RealOs.IsWow64Process2(process, processMachine, machineOut);
    case NativeMachineAnswer::Missing:
        RealOs.SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    case NativeMachineAnswer::Fails:
        RealOs.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    case NativeMachineAnswer::Told:
        break;
    }
    *processMachine = 0;
    *machineOut = nativeMachine;
    return TRUE;
}

BOOL WINAPI GetVersionExFake(LPOSVERSIONINFOW version)
{
    versionRecordSize = version->dwOSVersionInfoSize;
    version->dwMajorVersion = static_cast<DWORD>(versionMajor);
    return TRUE;
}

class Detection : public InstallSequence {
protected:
    void SetUp() override
    {
        InstallSequence::SetUp();
        isWow64Answer = FALSE;
        isWow64Error = 0;
        versionMajor = 6;
        nativeAnswer = NativeMachineAnswer::Real;
    }

    OsOverride<&OsCallTable::IsWow64Process> isWow64{&IsWow64ProcessFake};
    OsOverride<&OsCallTable::IsWow64Process2> isWow64Process2{&IsWow64Process2Fake};
    OsOverride<&OsCallTable::GetVersionExW> getVersion{&GetVersionExFake};
};

TEST_F(Detection, TakesWow64ForSixtyFourBitWindows)
{
    isWow64Answer = TRUE;
    Run();
    EXPECT_TRUE(launcher.Is64BitWindows);
    isWow64Answer = FALSE;
    CInstallerLauncher second;
    second.InitInstance();
    EXPECT_FALSE(second.Is64BitWindows);
}

TEST_F(Detection, WindowsTenOrLaterFromTheMajorVersionOfTheWholeRecord)
{
    for (const auto& [major, expected] : {std::pair{6, false}, {10, true}, {11, true}}) {
        versionMajor = major;
        CInstallerLauncher launcherOnThisVersion;
        launcherOnThisVersion.InitInstance();
        EXPECT_EQ(expected, launcherOnThisVersion.IsWindows10OrLater) << "major version " << major;
    }
    EXPECT_EQ(276u, versionRecordSize);
}

TEST_F(Detection, ProcessorNeitherX86NorX64EndsTheRunBeforeThePrompt)
{
    struct Case {
        const char* description;
        NativeMachineAnswer answer;
        USHORT machine;
        int exitCode;
        const char* output;
    };
    for (const Case& c : {
             Case{"x86", NativeMachineAnswer::Told, IMAGE_FILE_MACHINE_I386, 0, ""},
             Case{"x64", NativeMachineAnswer::Told, IMAGE_FILE_MACHINE_AMD64, 0, ""},
             Case{"ARM64", NativeMachineAnswer::Told, 0xAA64, 1633, "Processor not supported (machine 0xAA64)\n"},
             Case{"ARM", NativeMachineAnswer::Told, 0x01C4, 1633, "Processor not supported (machine 0x01C4)\n"},
             Case{"lookup missing", NativeMachineAnswer::Missing, 0xAA64, 0, ""},
             Case{"call failing", NativeMachineAnswer::Fails, 0xAA64, 0, ""},
         }) {
        SCOPED_TRACE(c.description);
        SetUp();
        machine.CarriesUninst = true;
        nativeAnswer = c.answer;
        nativeMachine = c.machine;
        CInstallerLauncher run;
        RemoveSupportLogs();
        testing::internal::CaptureStdout();
        run.InitInstance();
        EXPECT_EQ(c.output, testing::internal::GetCapturedStdout());
        EXPECT_EQ(c.exitCode, run.ExitInstance());
        const bool refused = c.exitCode != 0;
        EXPECT_EQ(refused ? 0 : 1, machine.PromptsShown);
        EXPECT_EQ(refused, Steps.Calls.empty());
    }
}

TEST_F(InstallSequence, MissingIsWow64ProcessExportMeansThirtyTwoBitWindowsAndTheRunGoesOn)
{
    auto missing = FailOsCall<&OsCallTable::GetProcAddress>(ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(Then({"InstallPrerequisites"}, PreparingAndInstalling), Run());
    EXPECT_FALSE(launcher.Is64BitWindows);
}

// A failed query must not be taken for 32-bit Windows: the run ends with the
// failure's code before any step, the lookup's own failures included.
int EndedRun(const char* output)
{
    Steps = RecordedSteps{};
    CInstallerLauncher run;
    testing::internal::CaptureStdout();
    run.InitInstance();
    EXPECT_EQ(output, testing::internal::GetCapturedStdout());
    EXPECT_TRUE(Steps.Calls.empty());
    return run.ExitInstance();
}

TEST_F(Detection, FailedWow64QueryEndsTheRunWithItsErrorCode)
{
    isWow64Error = ERROR_ACCESS_DENIED;
    EXPECT_EQ(ERROR_ACCESS_DENIED, EndedRun("IsWow64Process failed (5)\n"));
    isWow64Error = 0;
    isWow64Answer = -1;
    EXPECT_EQ(1603, EndedRun("IsWow64Process failed (1603)\n"));

    OsOverride<&OsCallTable::IsWow64Process> lookedUp{RealOs.IsWow64Process};
    {
        auto noModule = FailOsCall<&OsCallTable::GetModuleHandleW>(ERROR_MOD_NOT_FOUND);
        EXPECT_EQ(ERROR_MOD_NOT_FOUND, EndedRun("IsWow64Process failed (126)\n"));
    }
    auto failedLookup = FailOsCall<&OsCallTable::GetProcAddress>(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, EndedRun("IsWow64Process failed (8)\n"));
}

// Nor a failed version query for Windows before 10.
TEST_F(Detection, FailedVersionQueryEndsTheRunWithItsErrorCode)
{
    versionMajor = 10;
    {
        auto failing = FailOsCall<&OsCallTable::GetVersionExW>(ERROR_INVALID_PARAMETER);
        EXPECT_EQ(ERROR_INVALID_PARAMETER, EndedRun("GetVersionExW failed (87)\n"));
    }
    auto leavingNoCode = FailOsCall<&OsCallTable::GetVersionExW>(ERROR_SUCCESS);
    EXPECT_EQ(1603, EndedRun("GetVersionExW failed (1603)\n"));
}

}  // namespace
