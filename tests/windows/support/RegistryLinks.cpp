#include "RegistryLinks.h"

namespace {

// The kernel's name of a key below HKEY_LOCAL_MACHINE: a link's target is
// never redirected, so a 32-bit process under WOW64 names the 32-bit view.
std::wstring KernelPath(const std::wstring& path)
{
    const std::wstring software = L"Software\\";
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64 && path.compare(0, software.size(), software) == 0) {
        return L"\\Registry\\Machine\\" + software + L"Wow6432Node\\" + path.substr(software.size());
    }
    return L"\\Registry\\Machine\\" + path;
}

}  // namespace

bool PlantRegistryLink(const std::wstring& path, const std::wstring& target)
{
    HKEY link = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
            KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // The link's value is the target's name without a terminating NUL.
    const std::wstring name = KernelPath(target);
    const LSTATUS set = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
        reinterpret_cast<const BYTE*>(name.data()), static_cast<DWORD>(name.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return set == ERROR_SUCCESS;
}

void DeleteRegistryLink(const std::wstring& path)
{
    HKEY link = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_READ, &link) !=
        ERROR_SUCCESS) {
        return;
    }
    using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE key);
    const auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    DWORD type = REG_NONE;
    if (RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK) {
        deleteKey(link);
    }
    RegCloseKey(link);
}
