#include "ScriptedChildren.h"

#include "TestPaths.h"

#include <vector>

namespace {

ScriptedChildren* current = nullptr;

std::wstring BareName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

ScriptedChildren::Request Recorded(LPCWSTR application, LPCWSTR commandLine, LPCWSTR workingFolder)
{
    const std::wstring file = application != nullptr ? application : L"";
    const std::wstring line = commandLine != nullptr ? commandLine : L"";
    const std::wstring quoted = L"\"" + file + L"\"";
    const bool quotedFirst = line.compare(0, quoted.size(), quoted) == 0;
    std::wstring parameters = quotedFirst ? line.substr(quoted.size()) : line;
    if (!parameters.empty() && parameters[0] == L' ') {
        parameters.erase(0, 1);
    }
    return {file, parameters, workingFolder != nullptr ? workingFolder : L"", quotedFirst};
}

// A process that has ended with this exit code, started once per code for the
// whole test program: starting one for every request would make a sweep of
// thousands of runs slow.
const PROCESS_INFORMATION& EndedProcess(std::int32_t exitCode, LPSTARTUPINFOW startup)
{
    static std::map<std::int32_t, PROCESS_INFORMATION> ended;
    const auto found = ended.find(exitCode);
    if (found != ended.end()) {
        return found->second;
    }
    const std::wstring interpreter = SystemProgram(L"cmd.exe");
    const std::wstring line = L"\"" + interpreter + L"\" /c exit " + std::to_wstring(exitCode);
    std::vector<wchar_t> substitute(line.c_str(), line.c_str() + line.size() + 1);
    PROCESS_INFORMATION started = {};
    RealOs.CreateProcessW(interpreter.c_str(), substitute.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
        startup, &started);
    RealOs.WaitForSingleObject(started.hProcess, INFINITE);
    return ended[exitCode] = started;
}

HANDLE Duplicate(HANDLE handle)
{
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

std::int32_t ChosenExitCode(const std::wstring& name)
{
    std::vector<std::int32_t>& first = current->FirstExitCodes[name];
    if (!first.empty()) {
        const std::int32_t exitCode = first.front();
        first.erase(first.begin());
        return exitCode;
    }
    const auto chosen = current->ExitCodes.find(name);
    return chosen == current->ExitCodes.end() ? 0 : chosen->second;
}

BOOL WINAPI ScriptedCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR workingFolder, LPSTARTUPINFOW startup,
    LPPROCESS_INFORMATION child)
{
    current->Requests.push_back(Recorded(application, commandLine, workingFolder));
    const std::int32_t exitCode = ChosenExitCode(BareName(current->Requests.back().File));
    const PROCESS_INFORMATION& ended = EndedProcess(exitCode, startup);
    if (ended.hProcess == nullptr) {
        return FALSE;
    }
    *child = ended;
    child->hProcess = Duplicate(ended.hProcess);
    child->hThread = Duplicate(ended.hThread);
    return TRUE;
}

}  // namespace

ScriptedChildren::ScriptedChildren() : creation_(&ScriptedCreateProcess)
{
    current = this;
}

ScriptedChildren::~ScriptedChildren()
{
    current = nullptr;
}

std::vector<std::wstring> ScriptedChildren::FileNames() const
{
    std::vector<std::wstring> names;
    for (const Request& request : Requests) {
        names.push_back(BareName(request.File));
    }
    return names;
}
