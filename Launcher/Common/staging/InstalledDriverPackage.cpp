#include "../InstallerLauncher.h"

#include "InstalledProducts.h"
#include "PrerequisiteCommandLines.h"
#include "WindowsInstaller.h"
#include "../CommandLineOptions.h"
#include "../DiagnosticLine.h"
#include "../LauncherConfig.h"
#include "../ResultCodes.h"
#include "../log/SupportLog.h"

std::int32_t CInstallerLauncher::UninstallDriverPackage()
{
    // Nothing but the package goes: prerequisites, processes and settings
    // may serve other software, and the package's own removal knows its
    // files.
    return ChangeInstalledDriverPackage(L"/x ", L"", L"uninstall", 0);
}

std::int32_t CInstallerLauncher::RepairDriverPackage()
{
    // What "msiexec /fomus" asks of Windows Installer, spelled as the
    // properties it sets, which Wine's msiexec also takes with a product
    // code: every feature again, files missing or older, the machine's and
    // users' registry entries and the shortcuts, from the package Windows
    // Installer keeps, so the launcher writes no package of its own.
    return ChangeInstalledDriverPackage(L"/i ", L" REINSTALL=ALL REINSTALLMODE=omus", L"repair", UnknownProduct);
}

std::int32_t CInstallerLauncher::ChangeInstalledDriverPackage(
    const wchar_t* action, const wchar_t* properties, const wchar_t* verb, std::int32_t noneInstalled)
{
    InstalledProducts products;
    std::wstring productCode;
    if (!products.AnyInstalled(LauncherConfig.DriverProductCodes, productCode)) {
        // A failure to ask is no answer: "none installed" would read as done.
        if (const std::int32_t failure = products.Failure()) {
            return failure;
        }
        WriteDiagnosticLine("No driver package of this build is installed",
            noneInstalled == 0 ? LogLevel::Information : LogLevel::Error);
        return noneInstalled;
    }
    std::vector<wchar_t> environment;
    if (const std::int32_t code = PrepareChildEnvironment(environment)) {
        return code;
    }
    std::wstring parameters = action;
    parameters += productCode;
    parameters += properties;
    parameters += IsQuietRequest(MsiArgumentTemplate) ? L" /quiet" : L"";
    return RunWindowsInstaller(
        WithRestartSetting(parameters, NoRestart) + WindowsInstallerLogArgument(verb), environment);
}
