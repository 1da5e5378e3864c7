#include "RecordedSteps.h"

#include "InstallerLauncher.h"
#include "preparation/DeviceMonitorNotice.h"
#include "preparation/ProcessTermination.h"
#include "settings/DriverSettingsBackup.h"

RecordedSteps Steps;

std::int32_t RecordedSteps::Record(const std::string& step)
{
    Calls.push_back(step);
    const auto result = Results.find(step);
    return result == Results.end() ? 0 : result->second;
}

std::int32_t CInstallerLauncher::InstallPrerequisites()
{
    PrerequisitesRequestedRestart = Steps.PrerequisitesRequestRestart;
    StagingDirectory = Steps.PrerequisitesStageInto;
    return Steps.Record("InstallPrerequisites");
}

std::int32_t CInstallerLauncher::RunLegacyUninstallers()
{
    return Steps.Record("RunLegacyUninstallers");
}

std::int32_t TerminateListedProcesses()
{
    return Steps.Record("TerminateListedProcesses");
}

std::int32_t CInstallerLauncher::RemovePreviousProducts()
{
    return Steps.Record("RemovePreviousProducts");
}

std::int32_t NotifyDeviceMonitorService()
{
    return Steps.Record("NotifyDeviceMonitorService");
}

bool BackupDriverSettings()
{
    return Steps.Record("BackupDriverSettings") == 0;
}

std::int32_t CInstallerLauncher::InstallMainPackage()
{
    return Steps.Record("InstallMainPackage");
}

bool ReleaseDriverSettingsBackup()
{
    return Steps.Record("ReleaseDriverSettingsBackup") == 0;
}

void CInstallerLauncher::RemoveStagingDirectory()
{
    Steps.Record("RemoveStagingDirectory");
}
