#include "ChildEnvironment.h"

#include "EnvironmentEntries.h"
#include "FailureReport.h"
#include "MachineEnvironment.h"
#include "../platform/SystemFolders.h"

namespace {

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

}  // namespace

std::int32_t BuildChildEnvironment(const std::wstring& temporaryFolder, std::vector<wchar_t>& block)
{
    std::wstring system;
    std::wstring windows;
    if (const std::int32_t code = SystemFolders(system, windows)) {
        return code;
    }
    block.clear();
    AppendEntry(block, L"PATH",
        system + L";" + windows + L";" + system + L"\\Wbem;" + system + L"\\WindowsPowerShell\\v1.0\\");
    AppendEntry(block, L"SystemRoot", windows);
    AppendEntry(block, L"TEMP", temporaryFolder);
    AppendEntry(block, L"TMP", temporaryFolder);
    AppendEntry(block, L"windir", windows);
    if (const std::int32_t code = AppendMachineVariables(block)) {
        return code;
    }
    block.push_back(L'\0');
    return 0;
}
