#include "../InstallerLauncher.h"

std::int32_t CInstallerLauncher::RemovePreviousProducts()
{
    return 0;
}
