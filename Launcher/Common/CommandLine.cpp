#include "InstallerLauncher.h"

#include "CommandLineOptions.h"
#include "DiagnosticLine.h"

void CInstallerLauncher::ParseCommandLine()
{
    CommandLineOptions options;
    ReadCommandLineOptions(m_lpCmdLine, options);
    MsiArgumentTemplate = options.MsiArgumentTemplate;
    LogPath = options.LogPath;
    NoRestart = options.NoRestart;
    HelpRequested = options.HelpRequested;
    RequestedVerb = options.Action;
    ExtractFolder = options.ExtractFolder;
    CommandLineError = options.Error;
    // Nothing the command line holds stops a run, as it never has; a
    // mistyped "/s" that leaves Windows Installer's whole interface before
    // a deployment agent is at least named, on standard output and in the log.
    if (!options.Ignored.empty()) {
        WriteDiagnosticLine(L"Ignored on the command line: " + options.Ignored, LogLevel::Warning);
    }
}
