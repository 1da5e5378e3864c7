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

BOOL WINAPI ScriptedCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    current->Requests.push_back(Recorded(application, commandLine, workingFolder));
    const auto chosen = current->ExitCodes.find(BareName(current->Requests.back().File));
    const std::int32_t exitCode = chosen == current->ExitCodes.end() ? 0 : chosen->second;
    const std::wstring interpreter = SystemProgram(L"cmd.exe");
    const std::wstring line = L"\"" + interpreter + L"\" /c exit " + std::to_wstring(exitCode);
    std::vector<wchar_t> substitute(line.c_str(), line.c_str() + line.size() + 1);
    return RealOs.CreateProcessW(interpreter.c_str(), substitute.data(), processAttributes, threadAttributes,
        inheritHandles, flags, environment, nullptr, startup, child);
}

}  // namespace

ScriptedChildren::ScriptedChildren() : creation_(&OsCallTable::CreateProcessW, &ScriptedCreateProcess)
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
