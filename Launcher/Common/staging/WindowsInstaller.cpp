#include "WindowsInstaller.h"

#include "../ResultCodes.h"
#include "../platform/OsCalls.h"

std::int32_t LocateWindowsInstaller(std::wstring& path)
{
    wchar_t systemFolder[MAX_PATH];
    const UINT length = Os.GetSystemDirectoryW(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return FailureCode(Os.GetLastError());
    }
    path = std::wstring(systemFolder, length) + L"\\msiexec.exe";
    return 0;
}
