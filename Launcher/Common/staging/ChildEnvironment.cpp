#include "ChildEnvironment.h"

#include "FailureReport.h"
#include "../platform/Handles.h"
#include "../platform/SystemFolders.h"

#include <array>
#include <cwchar>
#include <utility>

namespace {

using Variable = std::pair<const wchar_t*, std::wstring>;
constexpr std::size_t SetVariableCount = 5;

std::int32_t SystemFolders(std::wstring& system, std::wstring& windows)
{
    if (!SystemFolder(system)) {
        return ReportLastError("GetSystemDirectory");
    }
    if (!WindowsFolder(windows)) {
        return ReportLastError("GetSystemWindowsDirectory");
    }
    return 0;
}

// The name of an entry "NAME=value"; a name may itself start with "=", as
// the per-drive current folders ("=C:=C:\...") do.
std::wstring NameOf(const wchar_t* entry)
{
    const wchar_t* separator = entry[0] != L'\0' ? std::wcschr(entry + 1, L'=') : nullptr;
    return separator != nullptr ? std::wstring(entry, separator) : std::wstring(entry);
}

bool IsSet(const std::array<Variable, SetVariableCount>& variables, const std::wstring& name)
{
    for (const Variable& variable : variables) {
        const int length = static_cast<int>(std::wcslen(variable.first));
        if (Os.CompareStringOrdinal(variable.first, length, name.c_str(), static_cast<int>(name.size()),
                /*bIgnoreCase=*/TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

void Append(std::vector<wchar_t>& block, const std::wstring& entry)
{
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
}

}  // namespace

std::int32_t BuildChildEnvironment(const std::wstring& temporaryFolder, std::vector<wchar_t>& block)
{
    std::wstring system;
    std::wstring windows;
    if (const std::int32_t code = SystemFolders(system, windows)) {
        return code;
    }
    const EnvironmentStrings inherited(Os.GetEnvironmentStringsW());
    if (!inherited.IsValid()) {
        return ReportLastError("GetEnvironmentStrings");
    }
    const std::array<Variable, SetVariableCount> variables = {
        Variable{L"PATH",
            system + L";" + windows + L";" + system + L"\\Wbem;" + system + L"\\WindowsPowerShell\\v1.0\\"},
        Variable{L"SystemRoot", windows},
        Variable{L"TEMP", temporaryFolder},
        Variable{L"TMP", temporaryFolder},
        Variable{L"windir", windows},
    };
    block.clear();
    for (const Variable& variable : variables) {
        Append(block, std::wstring(variable.first) + L"=" + variable.second);
    }
    for (const wchar_t* entry = inherited.Get(); *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        if (!IsSet(variables, NameOf(entry))) {
            Append(block, entry);
        }
    }
    block.push_back(L'\0');
    return 0;
}
