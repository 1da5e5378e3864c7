#include "RegistryKey.h"

#include "../platform/OsCalls.h"

#include <utility>

namespace {

const HKEY ClosedKey = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(-1));

// An unknown selector becomes the invalid handle, so opening it fails.
HKEY PredefinedKey(std::int32_t root)
{
    switch (root) {
    case ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case CurrentUser:
        return HKEY_CURRENT_USER;
    case LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case Users:
        return HKEY_USERS;
    default:
        return ClosedKey;
    }
}

}  // namespace

RegistryKey::RegistryKey(std::wstring path, std::int32_t root, bool use64BitView)
    : handle_(ClosedKey), root_(root), path_(std::move(path)), use64BitView_(use64BitView)
{
}

RegistryKey::~RegistryKey()
{
    Close();
}

std::int32_t RegistryKey::Open(bool readOnly)
{
    if (IsOpen()) {
        return 1;
    }
    const REGSAM view = ViewAccess();
    LONG status = ERROR_SUCCESS;
    if (readOnly) {
        status = Os.RegOpenKeyExW(PredefinedKey(root_), path_.c_str(), /*ulOptions=*/0, KEY_READ | view, &handle_);
    } else {
        DWORD disposition = 0;
        status = Os.RegCreateKeyExW(PredefinedKey(root_), path_.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr,
            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, /*lpSecurityAttributes=*/nullptr, &handle_, &disposition);
    }
    if (status != ERROR_SUCCESS) {
        handle_ = ClosedKey;
    }
    return IsOpen() ? S_OK : E_FAIL;
}

void RegistryKey::Close()
{
    if (IsOpen()) {
        Os.RegCloseKey(handle_);
        handle_ = ClosedKey;
    }
}

bool RegistryKey::IsOpen() const
{
    return handle_ != ClosedKey;
}

REGSAM RegistryKey::ViewAccess() const
{
    return use64BitView_ ? KEY_WOW64_64KEY : 0;
}

std::wstring RegistryKey::SubKeyPath(const std::wstring& name) const
{
    return path_ + L"\\" + name;
}

RegistryKey RegistryKey::ChildKey(const std::wstring& name) const
{
    return RegistryKey(SubKeyPath(name), root_, use64BitView_);
}

bool KeyExists(const std::wstring& path)
{
    RegistryKey key(path);
    return key.Open(/*readOnly=*/true) >= 0;
}
