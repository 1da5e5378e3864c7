#include "InstallerLauncher.h"

#include "DiagnosticLine.h"
#include "HelpText.h"
#include "LauncherConfig.h"
#include "ResultCodes.h"
#include "RunLock.h"
#include "log/RunEvents.h"
#include "log/RunHeader.h"
#include "log/SupportLog.h"
#include "platform/OsCalls.h"
#include "platform/RuntimeLookup.h"
#include "preparation/DeviceMonitorNotice.h"
#include "preparation/ProcessTermination.h"
#include "resources/ResourceIds.h"
#include "settings/BufferAllocation.h"
#include "settings/DriverSettingsBackup.h"
#include "staging/FailureReport.h"
#include "staging/PayloadPresence.h"
#include "staging/PrerequisiteCommandLines.h"

#include <type_traits>

static_assert(sizeof(OSVERSIONINFOW) == 276, "the version query is made with the whole record");

void (*InstallStepObserver)(const wchar_t* step) = nullptr;

namespace {

class ObservedStep {
public:
    explicit ObservedStep(const wchar_t* name) { Tell(name); }
    ~ObservedStep() { Tell(nullptr); }
    ObservedStep(const ObservedStep&) = delete;
    ObservedStep& operator=(const ObservedStep&) = delete;

private:
    static void Tell(const wchar_t* step)
    {
        if (InstallStepObserver != nullptr) {
            InstallStepObserver(step);
        }
    }
};

// A line the log cannot be given for want of memory is left out: the log
// never decides how a run ends.
template <typename Line>
void LogUnlessOutOfMemory(Line line)
{
    OrOnAllocationFailure(false, [&] {
        line();
        return true;
    });
}

// Runs one step of the sequence between its two lines in the support log. A
// step that runs out of memory has failed: its result is OutOfMemory, or
// false for a step that only succeeds or fails.
template <typename Step>
auto RunStep(const wchar_t* name, Step step)
{
    using Result = decltype(step());
    const ObservedStep observed(name);
    LogUnlessOutOfMemory([&] { LogStepStarted(name); });
    const Result result =
        OrOnAllocationFailure(static_cast<Result>(std::is_same_v<Result, bool> ? 0 : OutOfMemory), step);
    LogUnlessOutOfMemory([&] { LogStepEnded(name, result); });
    return result;
}

}  // namespace

BOOL CInstallerLauncher::InitInstance()
{
    RegisterCommonControls();
    CWinApp::InitInstance();
    // Memory that runs out between the steps stops the run as a failed step
    // does; each step reports it as its own result.
    if (!OrOnAllocationFailure(false, [this] {
            Run();
            return true;
        })) {
        // Set first: removing what the run staged needs memory too.
        SetExitCode(OutOfMemory);
        OrOnAllocationFailure(false, [this] {
            EndRun(RunEnd::OutOfMemory, OutOfMemory);
            return true;
        });
    }
    CloseSupportLog();
    logFolder_.Release();
    logFallbackFolder_.Release();
    // Last, so that the next run finds this one's folders let go.
    runLock_ = HeldMutex();
    return FALSE;
}

void CInstallerLauncher::Run()
{
    ParseCommandLine();
    if (HelpRequested) {
        return ShowHelp();
    }
    // A failed detection has set the exit code; the log is not open yet.
    if (!DetectWow64()) {
        return;
    }
    nativeMachine_ = QueryNativeMachine();
    if (!DetectWindows10()) {
        return;
    }
    if (!TakeRunLock()) {
        OpenLogApart();
    } else if (OpenRunLog() && CheckProcessor() && HoldPackageFolder()) {
        RunRequestedVerb();
    }
    LogUnlessOutOfMemory([this] { LogExitCode(ExitCode()); });
}

// Before anything is staged, changed or backed up, and before the log opens:
// its wait's lines are kept for the log.
bool CInstallerLauncher::TakeRunLock()
{
    const ObservedStep observed(L"TakeRunLock");
    const std::int32_t taken = ::TakeRunLock(BusyWaitDeadline(LauncherConfig.MsiBusyWaitSeconds), runLock_);
    if (taken != 0) {
        SetExitCode(RunExitCode(RunEnd::RunLockNotTaken, taken, false));
    }
    return taken == 0;
}

// A run that does not get the lock touches neither the file an
// administrator named, which may be the very one the other run writes, nor
// the Logs folder, which is the other run's to make ready and hold; its
// lines still reach a log, in a folder of its own.
void CInstallerLauncher::OpenLogApart()
{
    OpenSupportLogApart(logFallbackFolder_);
    LogRunHeader(version_, Is64BitWindows, nativeMachine_);
}

bool CInstallerLauncher::OpenRunLog()
{
    // The default log's failure has printed its line; the run goes on
    // without a log, which must never decide how it ends.
    const std::int32_t opened = LogPath.empty() ? OpenDefaultSupportLog(logFolder_, logFallbackFolder_)
                                                : OpenSupportLogAt(LogPath, logFolder_, logFallbackFolder_);
    LogRunHeader(version_, Is64BitWindows, nativeMachine_);
    if (opened == 0 || LogPath.empty()) {
        return true;
    }
    if (!IsQuietRequest(MsiArgumentTemplate)) {
        const std::wstring text = L"The log file cannot be opened:\n" + LogPath;
        Os.MessageBoxW(GetMainWindowHandle(), text.c_str(), LauncherConfig.ProductFolderName, MB_OK | MB_ICONERROR);
    }
    EndRun(RunEnd::LogRefused, opened);
    return false;
}

bool CInstallerLauncher::HoldPackageFolder()
{
    // The log's opening has tried already, a named log's too (for Windows
    // Installer's logs). Any failure but a refused shared level leaves the
    // package step to open the folder itself and report it, as a failed log
    // never ends a run.
    if (!logFolder_.SharedLevelRefused()) {
        return true;
    }
    EndRun(RunEnd::PackageFolderRefused, SharedFolderRefused);
    return false;
}

// Checked once the log is open, so that a deployment's log says why its
// command did nothing.
void CInstallerLauncher::RunRequestedVerb()
{
    if (CommandLineError != UsageError::None) {
        WriteDiagnosticLine("Command line refused: one verb at a time, -extract with its folder", LogLevel::Error);
        return SetExitCode(InvalidParameter);
    }
    if (RequestedVerb == Verb::Install) {
        return RunInstallSequence();
    }
    // Windows Installer's own result, a restart's included, is the one a
    // deployment tool knows for these commands; memory that runs out is a
    // failed step, as in the install sequence.
    EndRun(RunEnd::Completed, OrOnAllocationFailure(OutOfMemory, [this] {
        return RequestedVerb == Verb::Uninstall ? UninstallDriverPackage()
            : RequestedVerb == Verb::Repair     ? RepairDriverPackage()
                                                : ExtractPackages();
    }));
}

void CInstallerLauncher::RunInstallSequence()
{
    const bool carriesLegacyUninstaller = CarriesExecutablePayload(L"UNINST");
    if (carriesLegacyUninstaller && !ConfirmInstallation()) {
        return EndRun(RunEnd::Declined, 0);
    }
    // A build that continues after a failed prerequisite has chosen to
    // tolerate it, so the failure does not reach the exit code either.
    const std::int32_t prerequisites = RunStep(L"InstallPrerequisites", [this] { return InstallPrerequisites(); });
    // A busy Windows Installer is never tolerated: the package would be
    // installed without its runtime, and "retry later" reported as success.
    if (prerequisites != 0 && (!LauncherConfig.ContinueAfterPrerequisiteFailure || prerequisites == InstallerBusy)) {
        return EndRun(RunEnd::PrerequisiteFailed, prerequisites);
    }
    if (carriesLegacyUninstaller) {
        if (const std::int32_t legacy = RunStep(L"RunLegacyUninstallers", [this] { return RunLegacyUninstallers(); })) {
            return EndRun(RunEnd::LegacyUninstallerFailed, legacy);
        }
    }
    // The count of processes ended says nothing of success: each is logged.
    RunStep(L"TerminateListedProcesses", [] {
        TerminateListedProcesses();
        return true;
    });
    RunStep(L"RemovePreviousProducts", [this] { return RemovePreviousProducts(); });
    RunStep(L"NotifyDeviceMonitorService", [] { return NotifyDeviceMonitorService(); });
    RunStep(L"BackupDriverSettings", [] { return BackupDriverSettings(); });
    const std::int32_t package = RunStep(L"InstallMainPackage", [this] { return InstallMainPackage(); });
    RunStep(L"ReleaseDriverSettingsBackup", [] { return ReleaseDriverSettingsBackup(); });
    RunStep(L"RemoveStagingDirectory", [this] {
        RemoveStagingDirectory();
        return true;
    });
    SetExitCode(RunExitCode(RunEnd::Completed, package, PrerequisitesRequestedRestart));
}

void CInstallerLauncher::EndRun(RunEnd end, std::int32_t stepResult)
{
    if (!StagingDirectory.empty()) {
        RemoveStagingDirectory();
    }
    SetExitCode(RunExitCode(end, stepResult, PrerequisitesRequestedRestart));
}

void CInstallerLauncher::RegisterCommonControls()
{
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    Os.InitCommonControlsEx(&controls);
}

// A query that failed ends the run before anything is staged: taking 64-bit
// Windows for 32-bit would install the wrong package and report success. The
// run ends through ExitInstance like every other, with the same exit code as
// ending the process at once; the support log is not open yet.
bool CInstallerLauncher::DetectWow64()
{
    const ObservedStep observed(L"DetectWow64");
    bool queryFailed = false;
    Is64BitWindows = QueryWow64(queryFailed);
    if (queryFailed) {
        const std::int32_t code = ReportLastError("IsWow64Process");
        SetExitCode(RunExitCode(RunEnd::DetectionFailed, code, false));
    }
    return !queryFailed;
}

bool CInstallerLauncher::CheckProcessor()
{
    if (ProcessorSupported(nativeMachine_)) {
        return true;
    }
    char line[48] = {};
    _snprintf(line, sizeof(line) - 1, "Processor not supported (machine 0x%04X)",
        static_cast<unsigned>(nativeMachine_.Machine));
    WriteDiagnosticLine(line, LogLevel::Error);
    SetExitCode(RunExitCode(RunEnd::ProcessorUnsupported, 0, false));
    return false;
}

void CInstallerLauncher::ShowHelp()
{
    Os.MessageBoxW(GetMainWindowHandle(), HelpText(ProductFolderBelowCommonAppData()).c_str(),
        LauncherConfig.ProductFolderName, MB_OK | MB_ICONINFORMATION);
}

// Like the WOW64 query: a failed version query taken for Windows before 10
// would install the older package on Windows 10 and report success.
bool CInstallerLauncher::DetectWindows10()
{
    const ObservedStep observed(L"DetectWindows10");
    version_ = {};
    version_.dwOSVersionInfoSize = sizeof(version_);
    if (!Os.GetVersionExW(&version_)) {
        const std::int32_t code = ReportLastError("GetVersionExW");
        SetExitCode(RunExitCode(RunEnd::DetectionFailed, code, false));
        return false;
    }
    // Windows reports 10 only to programs whose manifest declares Windows 10.
    IsWindows10OrLater = version_.dwMajorVersion >= 10;
    return true;
}

bool CInstallerLauncher::ConfirmInstallation()
{
    const ObservedStep observed(L"ConfirmInstallation");
    std::wstring text;
    std::wstring caption;
    const bool textLoaded = LoadStringResource(PromptTextId, text);
    const bool captionLoaded = LoadStringResource(PromptCaptionId, caption);
    if (!textLoaded || !captionLoaded) {
        return true;
    }
    return Os.MessageBoxW(GetMainWindowHandle(), text.c_str(), caption.c_str(), MB_YESNO) == IDYES;
}

