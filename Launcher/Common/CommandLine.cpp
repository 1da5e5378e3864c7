#include "InstallerLauncher.h"

#include "CommandLineOptions.h"

void CInstallerLauncher::ParseCommandLine()
{
    LauncherOptions options;
    ReadLauncherOptions(m_lpCmdLine, options);
    MsiArgumentTemplate = options.MsiArgumentTemplate;
    LogPath = options.LogPath;
}
