#include "ScriptedShell.h"

#include "TestPaths.h"

namespace {

ScriptedShell* current = nullptr;

std::wstring BareName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

BOOL WINAPI ScriptedShellExecute(SHELLEXECUTEINFOW* request)
{
    current->Requests.push_back({request->lpFile, request->lpParameters != nullptr ? request->lpParameters : L""});
    const auto chosen = current->ExitCodes.find(BareName(request->lpFile));
    const std::int32_t exitCode = chosen == current->ExitCodes.end() ? 0 : chosen->second;
    const std::wstring interpreter = SystemProgram(L"cmd.exe");
    const std::wstring parameters = L"/c exit " + std::to_wstring(exitCode);
    SHELLEXECUTEINFOW substitute = *request;
    substitute.lpFile = interpreter.c_str();
    substitute.lpParameters = parameters.c_str();
    const BOOL started = RealOs.ShellExecuteExW(&substitute);
    request->hProcess = substitute.hProcess;
    return started;
}

}  // namespace

ScriptedShell::ScriptedShell() : shell_(&OsCallTable::ShellExecuteExW, &ScriptedShellExecute)
{
    current = this;
}

ScriptedShell::~ScriptedShell()
{
    current = nullptr;
}

std::vector<std::wstring> ScriptedShell::FileNames() const
{
    std::vector<std::wstring> names;
    for (const Request& request : Requests) {
        names.push_back(BareName(request.File));
    }
    return names;
}
