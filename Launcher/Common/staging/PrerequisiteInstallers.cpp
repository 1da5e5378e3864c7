#include "../InstallerLauncher.h"

std::int32_t CInstallerLauncher::InstallPrerequisites()
{
    return 0;
}

std::int32_t CInstallerLauncher::RunLegacyUninstallers()
{
    return 0;
}
