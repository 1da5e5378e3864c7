#include "StandInJournal.h"

#include "StandInFiles.h"
#include "StandInRun.h"
#include "StandInText.h"

#include <windows.h>

namespace {

// What would make an elevated .NET or PowerShell child load a user's code or
// run it with other compatibility settings: each one set, as NAME=value,
// separated by '|'.
std::wstring CodeLoadingVariables()
{
    std::wstring found;
    for (const wchar_t* name : {L"COR_ENABLE_PROFILING", L"COR_PROFILER", L"COR_PROFILER_PATH", L"__COMPAT_LAYER",
             L"PSModulePath", L"DOTNET_STARTUP_HOOKS"}) {
        const std::wstring value = EnvironmentValue(name);
        if (!value.empty()) {
            found += (found.empty() ? L"" : L"|") + std::wstring(name) + L'=' + value;
        }
    }
    return found;
}

}  // namespace

void AppendToJournal(const std::wstring& fileName, const std::wstring& parameters,
                     const std::wstring& workingDirectory)
{
    AppendLine(JournalPath, ToUtf8(fileName + L'\t' + parameters + L'\t' + workingDirectory + L'\t' +
                                   EnvironmentValue(L"TEMP") + L'\t' + EnvironmentValue(L"PATH") + L'\t' +
                                   CodeLoadingVariables() + L'\n'));
}
