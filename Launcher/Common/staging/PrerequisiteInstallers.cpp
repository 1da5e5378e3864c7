#include "../InstallerLauncher.h"

#include "../DiagnosticLine.h"
#include "../LauncherConfig.h"
#include "../log/LogLine.h"
#include "InstalledProducts.h"
#include "PayloadPresence.h"
#include "PrerequisiteCommandLines.h"
#include "WindowsInstallerBusy.h"

#include <cstdio>

namespace {

// A prerequisite whose product Windows Installer reports installed is
// neither staged nor run: a repair or a retry across a fleet would otherwise
// run every redistributable again, each a Windows Installer session of its own.
bool AlreadyInstalled(InstalledProducts& products, const char* resourceName, const ProductCodeList& codes)
{
    std::wstring found;
    if (!products.AnyInstalled(codes, found)) {
        return false;
    }
    char line[96] = {};
    _snprintf(line, sizeof(line) - 1, "Prerequisite %s is installed (%s): not run", resourceName,
        ToUtf8(found).c_str());
    WriteDiagnosticLine(line, LogLevel::Information);
    return true;
}

}  // namespace

std::int32_t CInstallerLauncher::InstallPrerequisites()
{
    const bool quiet = IsQuietRequest(MsiArgumentTemplate);
    InstalledProducts installed;
    if (CarriesExecutablePayload(L"VC2005_REDIST_32") &&
        !AlreadyInstalled(installed, "VC2005_REDIST_32", LauncherConfig.InstalledRedist32)) {
        const std::int32_t result = RunPrerequisite(L"VC2005_REDIST_32", L"vcredist_x86.exe",
            PrerequisiteParameters(PrerequisiteBitness::X86, quiet, LauncherConfig.UseSelfExtractorSwitches));
        if (result != 0) {
            return result;
        }
    }
    if (Is64BitWindows && CarriesExecutablePayload(L"VC2005_REDIST_64") &&
        !AlreadyInstalled(installed, "VC2005_REDIST_64", LauncherConfig.InstalledRedist64)) {
        return RunPrerequisite(L"VC2005_REDIST_64", L"vcredist_x64.exe",
            PrerequisiteParameters(PrerequisiteBitness::X64, quiet, LauncherConfig.UseSelfExtractorSwitches));
    }
    return 0;
}

// A prerequisite is often a chain of Windows Installer packages, so it waits
// for a busy Windows Installer as the package does, before it is staged. Its
// own busy answer (InstallerBusy) is not retried: the chain may have installed part
// of itself, and its busy answer ends the run as "retry later" all the same.
std::int32_t CInstallerLauncher::RunPrerequisite(
    const wchar_t* resourceName, const wchar_t* fileName, const std::wstring& parameters)
{
    if (!WaitUntilWindowsInstallerIsFree(BusyWaitDeadline(LauncherConfig.MsiBusyWaitSeconds))) {
        return ReportStillBusy();
    }
    const std::int32_t result = ExtractAndRun(resourceName, fileName, parameters);
    switch (ClassifyPrerequisiteResult(result)) {
    case PrerequisiteOutcome::Installed:
        return 0;
    case PrerequisiteOutcome::InstalledRestartRequired:
        PrerequisitesRequestedRestart = true;
        return 0;
    case PrerequisiteOutcome::Failed:
        break;
    }
    return result;
}

// The second uninstaller runs whatever the first returned, and its result is
// the one that counts.
std::int32_t CInstallerLauncher::RunLegacyUninstallers()
{
    std::int32_t result = 0;
    if (CarriesExecutablePayload(L"UNINST")) {
        result = ExtractAndRun(L"UNINST", L"vq_isu.exe", L"");
    }
    if (CarriesExecutablePayload(L"UNINST2")) {
        result = ExtractAndRun(L"UNINST2", L"vq_isu2.exe", L"");
    }
    return result;
}
