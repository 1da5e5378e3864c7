#include "RegistryKey.h"

#include "../platform/Handles.h"
#include "../platform/RuntimeLookup.h"

namespace {

using RegDeleteKeyExWFunction = LSTATUS(WINAPI*)(HKEY key, LPCWSTR subKey, REGSAM access, DWORD reserved);

// Deletes with a view, which a 32-bit process on 64-bit Windows needs.
// RegDeleteKeyExW is looked up rather than imported because 32-bit Windows
// before Vista does not have it, and the launcher must still start there.
bool DeleteKeyInView(HKEY parent, const std::wstring& name, REGSAM access)
{
    const LoadedModule advapi(Os.LoadLibraryW(L"AdvAPI32.dll"));
    if (!advapi.IsValid()) {
        return false;
    }
    const auto deleteKeyEx = LookUpFunction<RegDeleteKeyExWFunction>(advapi.Get(), "RegDeleteKeyExW");
    return deleteKeyEx != nullptr && deleteKeyEx(parent, name.c_str(), access, /*Reserved=*/0) == ERROR_SUCCESS;
}

// Deletes every sub-key of key in enumeration order, going on past failures.
// The names are all gathered first, since deleting shifts the indexes.
bool DeleteEverySubKey(RegistryKey& key)
{
    std::vector<std::wstring> names;
    key.EnumSubKeys(names);
    bool deleted = true;
    for (const std::wstring& name : names) {
        deleted = key.DeleteSubKeyTree(name) == S_OK && deleted;
    }
    return deleted;
}

}  // namespace

std::int32_t RegistryKey::DeleteSubKeyTree(const std::wstring& name)
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    // The child closes only after its own key is deleted below.
    RegistryKey child = ChildKey(name);
    if (child.Open(/*readOnly=*/false) >= 0 && !DeleteEverySubKey(child)) {
        return E_FAIL;
    }
    return DeleteSubKey(name);
}

std::int32_t RegistryKey::DeleteSubKey(const std::wstring& name) const
{
    bool queryFailed = false;
    if (QueryWow64(queryFailed)) {
        return DeleteKeyInView(handle_, name, KEY_ALL_ACCESS | ViewAccess()) ? S_OK : E_FAIL;
    }
    return Os.RegDeleteKeyW(handle_, name.c_str()) == ERROR_SUCCESS ? S_OK : E_FAIL;
}
