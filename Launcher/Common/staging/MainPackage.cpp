#include "../InstallerLauncher.h"

std::int32_t CInstallerLauncher::InstallMainPackage()
{
    return 0;
}
