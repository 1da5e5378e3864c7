// A stand-in for a running driver component: it does nothing and waits until
// it is ended, so a test can start it under any image name and see whether
// the launcher ended it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    Sleep(INFINITE);
    return 0;
}
