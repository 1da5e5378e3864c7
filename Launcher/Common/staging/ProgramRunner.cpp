#include "ProgramRunner.h"

#include "../InstallerLauncher.h"
#include "../ResultCodes.h"
#include "../platform/Handles.h"

namespace {

constexpr std::int32_t WaitFailure = -1;

}  // namespace

std::int32_t LaunchAndWait(const std::wstring& file, const std::wstring& parameters)
{
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof(request);
    request.fMask = SEE_MASK_NOCLOSEPROCESS;
    request.lpVerb = L"open";
    request.lpFile = file.c_str();
    request.lpParameters = parameters.c_str();
    request.nShow = SW_SHOWDEFAULT;
    if (!Os.ShellExecuteExW(&request)) {
        return FailureCode(Os.GetLastError());
    }
    // A request the shell completed without a process of its own gives no
    // handle, and waiting on none fails.
    const ProcessHandle process(request.hProcess);
    if (Os.WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0) {
        return WaitFailure;
    }
    DWORD exitCode = 0;
    if (!Os.GetExitCodeProcess(process.Get(), &exitCode)) {
        return FailureCode(Os.GetLastError());
    }
    return static_cast<std::int32_t>(exitCode);
}

std::int32_t CInstallerLauncher::ExtractAndRun(
    const std::wstring& resourceName, const std::wstring& fileName, const std::wstring& parameters)
{
    std::wstring path;
    if (const std::int32_t code = ExtractPayload(resourceName, L"EXE", fileName, true, path)) {
        return code;
    }
    return LaunchAndWait(path, parameters);
}
