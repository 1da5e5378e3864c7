#include "../InstallerLauncher.h"

#include "MainPackageSelection.h"
#include "WindowsInstaller.h"
#include "../CommandLineOptions.h"

std::int32_t CInstallerLauncher::InstallMainPackage()
{
    std::wstring package;
    FileHandle heldPackage;
    const wchar_t* resource = MainPackageResource(Is64BitWindows, IsWindows10OrLater);
    std::int32_t result = ExtractPayload(resource, L"MSI", L"KesmoraInstaller.msi", false, package, heldPackage);
    std::vector<wchar_t> environment;
    if (result == 0) {
        result = PrepareChildEnvironment(environment);
    }
    if (result == 0) {
        // The package and its folder's levels stay held until Windows
        // Installer has ended, so the one it installs is the one written
        // here, at the path it is given.
        const std::wstring quotedPackage = L"\"" + package + L"\"";
        if (MsiArgumentTemplate.empty()) {
            // What the shell's own association for packages runs, with the
            // same full user interface.
            result = RunWindowsInstaller(WithRestartSetting(L"/i " + quotedPackage, NoRestart), environment);
        } else {
            ReplacePlaceholder(MsiArgumentTemplate, L"$MSIPATH", quotedPackage);
            result = RunWindowsInstaller(MsiArgumentTemplate, environment);
        }
    }
    heldPackage.Close();
    packageFolder_.Release();
    return result;
}
