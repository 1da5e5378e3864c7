#include "MachineEnvironment.h"

#include "EnvironmentEntries.h"
#include "FailureReport.h"
#include "../DiagnosticLine.h"
#include "../ResultCodes.h"
#include "../platform/Handles.h"
#include "../platform/SystemLibrary.h"

#include <cwchar>

namespace {

const wchar_t* const MachineEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
// In characters, without the NUL.
constexpr std::size_t LongestValueName = 16383;
// In bytes; a longer value's size is asked for.
constexpr std::size_t ValueDataStart = 1024;

// The machine's expandable values (REG_EXPAND_SZ) as written in its
// environment key, unexpanded.
std::int32_t ReadExpandableValues(std::vector<wchar_t>& expandable)
{
    RegistryKeyHandle key;
    const LONG opened = Os.RegOpenKeyExW(HKEY_LOCAL_MACHINE, MachineEnvironmentKey, /*ulOptions=*/0,
        KEY_QUERY_VALUE, key.Put());
    if (opened != ERROR_SUCCESS) {
        return ReportErrorCode("RegOpenKeyExW", static_cast<DWORD>(opened));
    }
    std::vector<wchar_t> name(LongestValueName + 1);
    std::vector<BYTE> data(ValueDataStart);
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG listed = Os.RegEnumValueW(key.Get(), index, name.data(), &nameLength, /*lpReserved=*/nullptr,
            &type, data.data(), &dataLength);
        if (listed == ERROR_NO_MORE_ITEMS) {
            return 0;
        }
        if (listed == ERROR_MORE_DATA) {
            data.resize(dataLength);
            continue;
        }
        if (listed != ERROR_SUCCESS) {
            return ReportErrorCode("RegEnumValueW", static_cast<DWORD>(listed));
        }
        if (type == REG_EXPAND_SZ) {
            const auto text = reinterpret_cast<const wchar_t*>(data.data());
            AppendEntry(expandable, std::wstring(name.data(), nameLength),
                std::wstring_view(text, wcsnlen(text, dataLength / sizeof(wchar_t))));
        }
        ++index;
    }
}

}  // namespace

// CreateEnvironmentBlock without a token reads only the machine's key and
// the names Windows defines; nothing of the user's key comes through.
// Wine's expands the key's %NAME% references against the calling process's
// environment, which is the user's (measured: a user's SystemRoot reached
// ComSpec); so each expandable value is expanded again here against the
// machine's other values, as Windows itself does. The block is destroyed
// through the module's own call before the module is let go.
std::int32_t AppendMachineVariables(std::vector<wchar_t>& entries)
{
    std::vector<wchar_t> expandable;
    if (const std::int32_t code = ReadExpandableValues(expandable)) {
        return code;
    }
    const ModuleHandle userenv = LoadSystemLibrary(L"userenv.dll");
    if (!userenv.IsValid()) {
        // Loading it by a search that reaches PATH would hand the elevated
        // run to a folder the user names; fewer variables are the safer loss.
        if (Os.GetLastError() == InvalidParameter) {
            WriteDiagnosticLine("Children get TMP, TEMP, PATH, SystemRoot and windir only: "
                                "userenv.dll cannot be loaded from the system folder alone",
                LogLevel::Warning);
            return 0;
        }
        return ReportLastError("LoadLibraryExW");
    }
    EnvironmentBlock machine;
    if (!Os.CreateEnvironmentBlock(machine.Put(), /*hToken=*/nullptr, /*bInherit=*/FALSE)) {
        return ReportLastError("CreateEnvironmentBlock");
    }
    for (auto entry = static_cast<const wchar_t*>(machine.Get()); *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring name = NameOf(entry);
        if (ValueOf(entries, name) == nullptr && ValueOf(expandable, name) == nullptr) {
            AppendEntry(entries, name, entry + name.size() + 1);
        }
    }
    const std::vector<wchar_t> others = entries;
    const wchar_t* const end = expandable.data() + expandable.size();
    for (const wchar_t* entry = expandable.data(); entry < end; entry += std::wcslen(entry) + 1) {
        const std::wstring name = NameOf(entry);
        if (ValueOf(others, name) == nullptr) {
            AppendEntry(entries, name, ExpandAgainst(entry + name.size() + 1, others));
        }
    }
    return 0;
}
