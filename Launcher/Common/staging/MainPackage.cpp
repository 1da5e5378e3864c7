#include "../InstallerLauncher.h"

#include "MainPackageSelection.h"
#include "ProgramRunner.h"
#include "WindowsInstaller.h"

std::int32_t CInstallerLauncher::InstallMainPackage()
{
    std::wstring package;
    const wchar_t* resource = MainPackageResource(Is64BitWindows, IsWindows10OrLater);
    if (const std::int32_t code = ExtractPayload(resource, L"MSI", L"KesmoraInstaller.msi", false, package)) {
        return code;
    }
    if (MsiArgumentTemplate.empty()) {
        // The shell's "open" hands the package to Windows Installer.
        return LaunchAndWait(package, L"");
    }
    std::wstring msiexec;
    if (const std::int32_t code = LocateWindowsInstaller(msiexec)) {
        return code;
    }
    ReplacePlaceholder(MsiArgumentTemplate, L"$MSIPATH", L"\"" + package + L"\"");
    return LaunchAndWait(msiexec, MsiArgumentTemplate);
}
