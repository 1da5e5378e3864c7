#include "InstallerLauncher.h"

#include "DiagnosticLine.h"
#include "HelpText.h"
#include "LauncherConfig.h"
#include "ResultCodes.h"
#include "platform/OsCalls.h"
#include "platform/RuntimeLookup.h"
#include "preparation/DeviceMonitorNotice.h"
#include "preparation/ProcessTermination.h"
#include "resources/ResourceIds.h"
#include "settings/DriverSettingsBackup.h"
#include "staging/PayloadPresence.h"

#include <cstdlib>

static_assert(sizeof(OSVERSIONINFOW) == 276, "the version query is made with the whole record");

BOOL CInstallerLauncher::InitInstance()
{
    RegisterCommonControls();
    CWinApp::InitInstance();
    ParseCommandLine();
    if (HelpRequested) {
        ShowHelp();
        return FALSE;
    }
    DetectWow64();
    if (!CheckProcessor()) {
        SetExitCode(RunExitCode(RunEnd::ProcessorUnsupported, 0, false));
        return FALSE;
    }
    DetectWindows10();
    RunInstallSequence();
    return FALSE;
}

void CInstallerLauncher::RunInstallSequence()
{
    const bool carriesLegacyUninstaller = CarriesExecutablePayload(L"UNINST");
    if (carriesLegacyUninstaller && !ConfirmInstallation()) {
        return EndRun(RunEnd::Declined, 0);
    }
    // A build that continues after a failed prerequisite has chosen to
    // tolerate it, so the failure does not reach the exit code either.
    const std::int32_t prerequisites = InstallPrerequisites();
    if (prerequisites != 0 && !LauncherConfig.ContinueAfterPrerequisiteFailure) {
        return EndRun(RunEnd::PrerequisiteFailed, prerequisites);
    }
    if (carriesLegacyUninstaller) {
        if (const std::int32_t legacy = RunLegacyUninstallers()) {
            return EndRun(RunEnd::LegacyUninstallerFailed, legacy);
        }
    }
    TerminateListedProcesses();
    RemovePreviousProducts();
    NotifyDeviceMonitorService();
    BackupDriverSettings();
    const std::int32_t package = InstallMainPackage();
    ReleaseDriverSettingsBackup();
    RemoveStagingDirectory();
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

void CInstallerLauncher::DetectWow64()
{
    bool queryFailed = false;
    Is64BitWindows = QueryWow64(queryFailed);
    if (queryFailed) {
        // The runtime's normal exit: at-exit work runs, no later step does.
        std::exit(RunExitCode(RunEnd::Wow64QueryFailed, FailureCode(Os.GetLastError()), false));
    }
}

bool CInstallerLauncher::CheckProcessor()
{
    const NativeMachineReport report = QueryNativeMachine();
    if (ProcessorSupported(report)) {
        return true;
    }
    char line[48] = {};
    _snprintf(line, sizeof(line) - 1, "Processor not supported (machine 0x%04X)",
        static_cast<unsigned>(report.Machine));
    WriteDiagnosticLine(line);
    return false;
}

void CInstallerLauncher::ShowHelp()
{
    const wchar_t* productName = LauncherConfig.ProductFolderName;
    Os.MessageBoxW(GetMainWindowHandle(), HelpText(productName).c_str(), productName, MB_OK | MB_ICONINFORMATION);
}

void CInstallerLauncher::DetectWindows10()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    // Windows reports 10 only to programs whose manifest declares Windows 10.
    IsWindows10OrLater = Os.GetVersionExW(&version) != FALSE && version.dwMajorVersion >= 10;
}

bool CInstallerLauncher::ConfirmInstallation()
{
    std::wstring text;
    std::wstring caption;
    const bool textLoaded = LoadStringResource(PromptTextId, text);
    const bool captionLoaded = LoadStringResource(PromptCaptionId, caption);
    if (!textLoaded || !captionLoaded) {
        return true;
    }
    return Os.MessageBoxW(GetMainWindowHandle(), text.c_str(), caption.c_str(), MB_YESNO) == IDYES;
}

