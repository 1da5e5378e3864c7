#include "RegistryKey.h"

#include "../platform/RuntimeLookup.h"

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

std::int32_t RegistryKey::DeleteTree()
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    // NtDeleteKey is the one call that deletes a key through a handle rather
    // than by a name, which a registry link could send elsewhere. It is ntdll's,
    // outside the Win32 API the launcher imports, so it is looked up.
    const auto deleteKey = LookUpFunction<DeleteKeyFunction>(Os.GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey");
    return deleteKey != nullptr ? DeleteTreeWith(deleteKey) : E_FAIL;
}

// The names are all gathered first, since deleting shifts the indexes. A
// link has no sub-keys of its own, so nothing below its target is listed.
std::int32_t RegistryKey::DeleteTreeWith(DeleteKeyFunction deleteKey)
{
    std::vector<std::wstring> names;
    EnumSubKeys(names);
    bool deleted = true;
    for (const std::wstring& name : names) {
        LONG status = ERROR_SUCCESS;
        RegistryKey child = SubKeyItself(name, status);
        deleted = (status == ERROR_FILE_NOT_FOUND || (child.IsOpen() && child.DeleteTreeWith(deleteKey) == S_OK)) &&
            deleted;
    }
    if (!deleted) {
        return E_FAIL;
    }
    return deleteKey(handle_) >= 0 ? S_OK : E_FAIL;
}
