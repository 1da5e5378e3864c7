#include "InstallerLauncher.h"

#include "CommandLineOptions.h"

void CInstallerLauncher::ParseCommandLine()
{
    CommandLineOptions options;
    ReadCommandLineOptions(m_lpCmdLine, options);
    MsiArgumentTemplate = options.MsiArgumentTemplate;
    LogPath = options.LogPath;
    NoRestart = options.NoRestart;
    HelpRequested = options.HelpRequested;
}
