#pragma once

// Both steps work below HKEY_LOCAL_MACHINE in the process's default view: the
// drivers key is LauncherConfig.DriversKeyPath, the settings key the key
// SettingsGuid in it, and the backup key "SettingsBackup_" + SettingsGuid
// beside the settings key.

// Copies the settings key (read only; created empty when absent) with
// everything below it into a backup key this run creates new, with access for
// SYSTEM and Administrators only, and holds that key open until the release.
// A backup key left by an earlier run, or a registry link in its place, is
// deleted first as itself, never followed. Returns false, creating no backup
// key, when the settings key does not open, the old key cannot be deleted, or
// a key reappears in its place before the creation; false also when the copy
// is incomplete, the created key then held all the same.
bool BackupDriverSettings();

// Deletes the backup key this run created, with everything below it, through
// the handle held since its creation, and closes that handle. Returns true
// when it was deleted completely, and when this run created no backup key:
// nothing is deleted then.
bool ReleaseDriverSettingsBackup();
