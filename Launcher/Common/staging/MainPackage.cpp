#include "../InstallerLauncher.h"

#include "DriverPackageFacts.h"
#include "MainPackageSelection.h"
#include "WindowsInstaller.h"
#include "../CommandLineOptions.h"
#include "../LauncherConfig.h"
#include "../ResultCodes.h"
#include "../log/RunEvents.h"
#include "../log/SupportLog.h"
#include "../settings/BufferAllocation.h"

std::int32_t CInstallerLauncher::InstallMainPackage()
{
    // The folder's levels are let go however the installation ends, out of
    // memory too.
    const std::int32_t result = OrOnAllocationFailure(OutOfMemory, [this] { return InstallHeldPackage(); });
    packageFolder_.Release();
    return result;
}

std::int32_t CInstallerLauncher::InstallHeldPackage()
{
    std::wstring package;
    FileHandle heldPackage;
    const wchar_t* resource = MainPackageResource(Is64BitWindows, IsWindows10OrLater);
    std::int32_t result = ExtractPayload(resource, L"MSI", LauncherConfig.PackageFileName, false, package, heldPackage);
    std::vector<wchar_t> environment;
    if (result == 0) {
        LogPackageWritten(resource, package);
        LogDriverPackageFacts(resource);
        result = PrepareChildEnvironment(environment);
    }
    if (result == 0) {
        // The package and its folder's levels stay held until Windows
        // Installer has ended, so the one it installs is the one written
        // here, at the path it is given.
        result = RunWindowsInstaller(PackageArguments(L"\"" + package + L"\""), environment);
    }
    return result;
}

std::wstring CInstallerLauncher::PackageArguments(const std::wstring& quotedPackage)
{
    if (MsiArgumentTemplate.empty()) {
        // What the shell's own association for packages runs, with the same
        // full user interface.
        return WithRestartSetting(L"/i " + quotedPackage, NoRestart) + WindowsInstallerLogArgument(L"msi");
    }
    // An administrator's own template is passed on as written.
    const bool ownTemplate = !IsLaunchersOwnTemplate(MsiArgumentTemplate);
    ReplacePlaceholder(MsiArgumentTemplate, L"$MSIPATH", quotedPackage);
    return ownTemplate ? MsiArgumentTemplate : MsiArgumentTemplate + WindowsInstallerLogArgument(L"msi");
}
