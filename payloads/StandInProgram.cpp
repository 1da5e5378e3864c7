// A stand-in for the vendor's runtime redistributable installers and legacy
// uninstallers, embedded by the demo and test builds in place of the real
// files. It does no installing: it records how it was run in the journal and
// exits with the code the test chose for its file name, so a test can see
// which programs the launcher started, with what parameters and in which
// folder, and how the launcher reacts to their exit codes. It never shows a
// window, so it cannot stall an unattended run.
#include "StandInExitCodes.h"
#include "StandInJournal.h"
#include "StandInRun.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // A crash or a missing drive must end the run, not wait for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const std::wstring fileName = OwnFileName();
    AppendToJournal(fileName, Parameters(), WorkingDirectory());
    return static_cast<int>(ChosenExitCode(fileName));
}
