#include "DllSearchHardening.h"
#include "WinApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPWSTR /*commandLine*/, int showCommand)
{
    HardenDllSearch();
    return AfxWinMain(instance, showCommand);
}
