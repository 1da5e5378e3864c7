#include "RegistryTreeContents.h"

#include <gtest/gtest.h>

namespace {

void ReadTree(HKEY key, const std::wstring& prefix, RegistryTreeContents& tree)
{
    wchar_t name[256];
    BYTE data[256];
    DWORD nameLength = 256;
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    for (DWORD index = 0; RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) == 0; ++index) {
        tree[prefix + name] = {type, std::vector<BYTE>(data, data + size)};
        nameLength = 256;
        size = sizeof data;
    }
    for (DWORD index = 0; RegEnumKeyW(key, index, name, 256) == ERROR_SUCCESS; ++index) {
        HKEY child = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key, name, 0, KEY_READ, &child));
        tree[prefix + name + L"\\"];
        ReadTree(child, prefix + name + L"\\", tree);
        RegCloseKey(child);
    }
}

}  // namespace

RegistryTreeContents TreeAt(const std::wstring& path)
{
    RegistryTreeContents tree;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        ReadTree(key, L"", tree);
        RegCloseKey(key);
    }
    return tree;
}

bool KeyExists(const std::wstring& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | view, &key) != 0) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void DeleteInBothViews(const std::wstring& path)
{
    const std::wstring software = L"Software\\";
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
            RegDeleteTreeW(key, path.substr(software.size()).c_str());
            RegCloseKey(key);
        }
    }
}
