#include "../InstallerLauncher.h"

#include "MainPackageSelection.h"
#include "WindowsInstaller.h"

std::int32_t CInstallerLauncher::InstallMainPackage()
{
    std::wstring package;
    FileHandle heldPackage;
    const wchar_t* resource = MainPackageResource(Is64BitWindows, IsWindows10OrLater);
    if (const std::int32_t code =
            ExtractPayload(resource, L"MSI", L"KesmoraInstaller.msi", false, package, heldPackage)) {
        return code;
    }
    // The package stays held until Windows Installer has ended, so the one
    // it installs is the one written here.
    const std::wstring quotedPackage = L"\"" + package + L"\"";
    if (MsiArgumentTemplate.empty()) {
        // What the shell's own association for packages runs, with the same
        // full user interface.
        return RunWindowsInstaller(L"/i " + quotedPackage);
    }
    ReplacePlaceholder(MsiArgumentTemplate, L"$MSIPATH", quotedPackage);
    return RunWindowsInstaller(MsiArgumentTemplate);
}
