// A stand-in for a running driver component: it records that it has started
// (its file name appended to C:\StandIn\waiting.txt, so a test knows when all
// are up) and then waits until it is ended, so a test can start it under any
// image name and see whether the launcher ended it.
#include "StandInFiles.h"
#include "StandInRun.h"
#include "StandInText.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    AppendLine(L"C:\\StandIn\\waiting.txt", ToUtf8(OwnFileName() + L'\n'));
    Sleep(INFINITE);
    return 0;
}
