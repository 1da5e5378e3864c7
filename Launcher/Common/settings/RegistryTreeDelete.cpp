#include "RegistryKey.h"

#include "../platform/OsCalls.h"

std::int32_t RegistryKey::DeleteSubKeyTree(const std::wstring& name)
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    LONG status = ERROR_SUCCESS;
    RegistryKey child = SubKeyItself(name, status);
    if (status == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    return child.DeleteTree();
}

// The names are all gathered first, since deleting shifts the indexes. A
// link has no sub-keys of its own, so nothing below its target is listed.
// NtDeleteKey is the one call that deletes a key through a handle rather than
// by a name, which a registry link could send elsewhere.
std::int32_t RegistryKey::DeleteTree()
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    std::vector<std::wstring> names;
    EnumSubKeys(names);
    bool deleted = true;
    for (const std::wstring& name : names) {
        LONG status = ERROR_SUCCESS;
        RegistryKey child = SubKeyItself(name, status);
        deleted = (status == ERROR_FILE_NOT_FOUND || (child.IsOpen() && child.DeleteTree() == S_OK)) &&
            deleted;
    }
    if (!deleted) {
        return E_FAIL;
    }
    return Os.NtDeleteKey(handle_.Get()) >= 0 ? S_OK : E_FAIL;
}
