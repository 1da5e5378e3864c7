#include "../InstallerLauncher.h"

#include "../CommandLineOptions.h"
#include "../LauncherConfig.h"
#include "../settings/RegistryKey.h"
#include "../log/RunEvents.h"
#include "../log/SupportLog.h"
#include "../staging/WindowsInstaller.h"

namespace {

// Registered in the view that matches this Windows; the key is closed again
// before anything runs.
bool IsRegistered(const std::wstring& productCode, bool is64BitWindows)
{
    RegistryKey uninstallEntry(
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode, LocalMachine, is64BitWindows);
    return uninstallEntry.Open(true) >= 0;
}

}  // namespace

std::int32_t CInstallerLauncher::Uninstall(const std::wstring& productCode)
{
    std::vector<wchar_t> environment;
    if (const std::int32_t code = PrepareChildEnvironment(environment)) {
        return code;
    }
    const std::int32_t result = RunWindowsInstaller(WithRestartSetting(L"/passive /X " + productCode, NoRestart) +
            WindowsInstallerLogArgument(L"remove-" + productCode),
        environment);
    LogEarlierProductRemoval(productCode, result);
    return result;
}

// One product at a time, in table order; a failure is counted and the next
// product is still visited.
std::int32_t CInstallerLauncher::RemovePreviousProducts()
{
    std::int32_t failures = 0;
    for (std::int32_t i = 0; i < LauncherConfig.ProductCodeCount; ++i) {
        const std::wstring productCode =
            Is64BitWindows ? LauncherConfig.ProductCodes64[i] : LauncherConfig.ProductCodes32[i];
        if (IsRegistered(productCode, Is64BitWindows) && Uninstall(productCode) != 0) {
            ++failures;
        }
    }
    return failures;
}
