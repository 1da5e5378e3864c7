#include "DriverSettingsBackup.h"

#include "../LauncherConfig.h"
#include "BufferAllocation.h"
#include "RegistryKey.h"

#include <string>

namespace {

std::wstring BackupKeyName()
{
    return std::wstring(L"SettingsBackup_") + LauncherConfig.SettingsGuid;
}

}  // namespace

// Both steps fail, rather than throw, when memory runs out.
bool BackupDriverSettings()
{
    return OrOnAllocationFailure(false, [] {
        const RegistryKey drivers(LauncherConfig.DriversKeyPath);
        RegistryKey settings(drivers.SubKeyPath(LauncherConfig.SettingsGuid));
        if (settings.Open(/*readOnly=*/false) < 0) {
            return false;
        }
        return settings.CopyTo(drivers.SubKeyPath(BackupKeyName())) >= 0;
    });
}

bool ReleaseDriverSettingsBackup()
{
    return OrOnAllocationFailure(false, [] {
        RegistryKey drivers(LauncherConfig.DriversKeyPath);
        if (drivers.Open(/*readOnly=*/false) < 0) {
            return false;
        }
        if (!KeyExists(drivers.SubKeyPath(BackupKeyName()))) {
            return true;
        }
        return drivers.DeleteSubKeyTree(BackupKeyName()) >= 0;
    });
}
