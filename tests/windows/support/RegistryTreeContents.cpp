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
