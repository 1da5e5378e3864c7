#include "../InstallerLauncher.h"

// Whatever cannot be deleted stays, silently, and keeps the folder with it.
void CInstallerLauncher::RemoveStagingDirectory()
{
    if (StagingDirectory.empty()) {
        return;
    }
    stagingFolder_.Remove(StagingDirectory);
    StagingDirectory.clear();
}
