#pragma once

// Copies the driver settings key to its backup key beside it. Returns true
// when the settings key opened and the whole tree was copied.
bool BackupDriverSettings();

// Deletes the backup key. Returns true when the drivers key opened and no
// backup key remains.
bool ReleaseDriverSettingsBackup();
