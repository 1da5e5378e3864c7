#include "InstallerLauncher.h"

#include "CommandLineOptions.h"

void CInstallerLauncher::ParseCommandLine()
{
    ReadMsiArgumentOptions(m_lpCmdLine, MsiArgumentTemplate);
}
