#pragma once

// Both steps work below HKEY_LOCAL_MACHINE in the process's default view: the
// drivers key is LauncherConfig.DriversKeyPath, the settings key the key
// SettingsGuid in it, and the backup key "SettingsBackup_" + SettingsGuid
// beside the settings key.

// Copies the settings key (creating it empty when absent) with everything
// below it into the backup key, creating that too. A backup key left by an
// earlier run is copied over, not emptied. Returns true when the settings key
// opened and the whole tree was copied.
bool BackupDriverSettings();

// Deletes the backup key with everything below it. Returns true when the
// drivers key (created when absent) opened and either there was no backup key
// or it was deleted completely.
bool ReleaseDriverSettingsBackup();
