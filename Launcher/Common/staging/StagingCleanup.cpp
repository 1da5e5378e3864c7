#include "../InstallerLauncher.h"

void CInstallerLauncher::RemoveStagingDirectory()
{
    StagingDirectory.clear();
}
