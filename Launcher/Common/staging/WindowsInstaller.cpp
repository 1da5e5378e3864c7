#include "WindowsInstaller.h"

#include "ProgramRunner.h"
#include "WindowsInstallerBusy.h"
#include "../LauncherConfig.h"
#include "../ResultCodes.h"
#include "../platform/OsCalls.h"
#include "../platform/SystemFolders.h"

std::int32_t RunWindowsInstaller(const std::wstring& parameters, const std::vector<wchar_t>& environment)
{
    std::wstring folder;
    if (!SystemFolder(folder)) {
        return FailureCode(Os.GetLastError());
    }
    // Windows Installer runs one installation at a time; starting it while
    // another runs would only earn a busy answer.
    const BusyWaitDeadline deadline(LauncherConfig.MsiBusyWaitSeconds);
    for (;;) {
        if (!WaitUntilWindowsInstallerIsFree(deadline)) {
            return ReportStillBusy();
        }
        const std::int32_t result = LaunchAndWait(folder + L"\\msiexec.exe", parameters, folder, environment);
        if (result != InstallerBusy) {
            return result;
        }
        if (!PauseBeforeRetry(deadline)) {
            return ReportStillBusy();
        }
    }
}
