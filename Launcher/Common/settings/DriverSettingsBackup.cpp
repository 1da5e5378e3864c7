#include "DriverSettingsBackup.h"

#include "../LauncherConfig.h"
#include "../log/RunEvents.h"
#include "../platform/ProtectedDescriptor.h"
#include "BufferAllocation.h"
#include "RegistryKey.h"

#include <string>
#include <utility>

namespace {

// Users may be allowed to create keys below the drivers key, so the backup key
// must be one nobody else can read, fill or replace: owned by Administrators,
// full access for SYSTEM and Administrators, nothing inherited.
constexpr const wchar_t* BackupKeyDescriptor = L"O:BAD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)";

// The backup key this run created, held open from its creation to its release.
// The release deletes through this handle, never by the key's name, which a
// registry link put in its place meanwhile would lead to another key.
RegistryKey heldBackup{std::wstring()};

std::wstring BackupKeyName()
{
    return std::wstring(L"SettingsBackup_") + LauncherConfig.SettingsGuid;
}

}  // namespace

// Both steps fail, rather than throw, when memory runs out.
bool BackupDriverSettings()
{
    return OrOnAllocationFailure(false, [] {
        RegistryKey drivers(LauncherConfig.DriversKeyPath);
        if (drivers.Open(/*readOnly=*/false) < 0) {
            return false;
        }
        const RegistryKey settings = drivers.SubKey(LauncherConfig.SettingsGuid, SubKeyAccess::ReadCreating);
        if (!settings.IsOpen() || drivers.DeleteSubKeyTree(BackupKeyName()) < 0) {
            return false;
        }
        ProtectedDescriptor descriptor;
        if (descriptor.Parse(BackupKeyDescriptor) != 0) {
            return false;
        }
        heldBackup = drivers.CreateNewSubKey(BackupKeyName(), descriptor.Attributes());
        if (!heldBackup.IsOpen()) {
            return false;
        }
        RegistryTreeSize copied;
        const bool complete = CopyKeyTree(settings, heldBackup, &copied) >= 0;
        LogSettingsBackup(settings.Path(), heldBackup.Path(), copied.Keys, copied.Values, complete);
        return complete;
    });
}

bool ReleaseDriverSettingsBackup()
{
    return OrOnAllocationFailure(false, [] {
        // Closed on return, whether the deletion succeeded or not.
        RegistryKey backup = std::move(heldBackup);
        if (!backup.IsOpen()) {
            return true;
        }
        const bool released = backup.DeleteTree() >= 0;
        LogSettingsBackupReleased(released);
        return released;
    });
}
