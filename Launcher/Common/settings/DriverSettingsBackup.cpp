#include "DriverSettingsBackup.h"

bool BackupDriverSettings()
{
    return false;
}

bool ReleaseDriverSettingsBackup()
{
    return false;
}
