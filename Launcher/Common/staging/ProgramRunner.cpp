#include "ProgramRunner.h"

#include "ChildEnvironment.h"
#include "../log/RunEvents.h"
#include "../InstallerLauncher.h"
#include "../ResultCodes.h"
#include "../platform/Handles.h"

#include <vector>

namespace {

// The child sees this as its command line; CreateProcessW may write into it.
std::vector<wchar_t> CommandLine(const std::wstring& program, const std::wstring& parameters)
{
    std::wstring line = L"\"" + program + L"\"";
    if (!parameters.empty()) {
        line += L" " + parameters;
    }
    return std::vector<wchar_t>(line.c_str(), line.c_str() + line.size() + 1);
}

// The child's result, as LaunchAndWait gives it.
std::int32_t WaitForEnd(HANDLE process)
{
    if (Os.WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0) {
        return WaitFailure;
    }
    DWORD exitCode = 0;
    if (!Os.GetExitCodeProcess(process, &exitCode)) {
        return FailureCode(Os.GetLastError());
    }
    return static_cast<std::int32_t>(exitCode);
}

}  // namespace

std::int32_t LaunchAndWait(const std::wstring& program, const std::wstring& parameters,
    const std::wstring& workingFolder, const std::vector<wchar_t>& environment)
{
    std::vector<wchar_t> commandLine = CommandLine(program, parameters);
    LogProgramStarted(commandLine.data(), workingFolder);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    ChildProcessHandles child;
    if (!Os.CreateProcessW(program.c_str(), commandLine.data(), /*lpProcessAttributes=*/nullptr,
            /*lpThreadAttributes=*/nullptr, /*bInheritHandles=*/FALSE, CREATE_UNICODE_ENVIRONMENT,
            const_cast<wchar_t*>(environment.data()), workingFolder.c_str(), &startup, child.Put())) {
        const std::int32_t code = FailureCode(Os.GetLastError());
        LogProgramNotStarted(program, code);
        return code;
    }
    const ULONGLONG started = Os.GetTickCount64();
    const std::int32_t result = WaitForEnd(child.Process());
    LogProgramEnded(program, result, Os.GetTickCount64() - started);
    return result;
}

std::int32_t CInstallerLauncher::ExtractAndRun(
    const std::wstring& resourceName, const std::wstring& fileName, const std::wstring& parameters)
{
    std::wstring path;
    FileHandle staged;
    if (const std::int32_t code = ExtractPayload(resourceName, L"EXE", fileName, true, path, staged)) {
        return code;
    }
    std::vector<wchar_t> environment;
    if (const std::int32_t code = PrepareChildEnvironment(environment)) {
        return code;
    }
    return LaunchAndWait(path, parameters, StagingDirectory, environment);
}

std::int32_t CInstallerLauncher::PrepareChildEnvironment(std::vector<wchar_t>& environment)
{
    std::wstring folder;
    if (const std::int32_t code = OpenStagingFolder(folder)) {
        return code;
    }
    return BuildChildEnvironment(stagingFolder_.ChildTemporaryFolder(), environment);
}
