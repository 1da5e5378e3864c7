#include "WindowsInstaller.h"

#include "ProgramRunner.h"
#include "../ResultCodes.h"
#include "../platform/OsCalls.h"

std::int32_t RunWindowsInstaller(const std::wstring& parameters, const std::vector<wchar_t>& environment)
{
    wchar_t systemFolder[MAX_PATH];
    const UINT length = Os.GetSystemDirectoryW(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return FailureCode(Os.GetLastError());
    }
    const std::wstring folder(systemFolder, length);
    return LaunchAndWait(folder + L"\\msiexec.exe", parameters, folder, environment);
}
