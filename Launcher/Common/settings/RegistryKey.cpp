#include "RegistryKey.h"

#include "../platform/OsCalls.h"
#include "BufferAllocation.h"

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

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : handle_(std::exchange(other.handle_, ClosedKey)), root_(other.root_), path_(std::move(other.path_)),
      use64BitView_(other.use64BitView_)
{
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, ClosedKey);
        root_ = other.root_;
        path_ = std::move(other.path_);
        use64BitView_ = other.use64BitView_;
    }
    return *this;
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

RegistryKey RegistryKey::ClosedSubKey(const std::wstring& name, bool& named) const
{
    // An empty path needs no memory, so the key is made whatever happens.
    RegistryKey child{std::wstring(), root_, use64BitView_};
    named = OrOnAllocationFailure(false, [&] {
        child.path_ = SubKeyPath(name);
        return true;
    });
    return child;
}

RegistryKey RegistryKey::SubKey(const std::wstring& name, SubKeyAccess access) const
{
    bool named = false;
    RegistryKey child = ClosedSubKey(name, named);
    if (!IsOpen() || !named) {
        return child;
    }
    const REGSAM view = ViewAccess();
    LONG status = ERROR_SUCCESS;
    if (access == SubKeyAccess::Read) {
        status = Os.RegOpenKeyExW(handle_, name.c_str(), /*ulOptions=*/0, KEY_READ | view, &child.handle_);
    } else {
        // Creating needs only the parent's permission, so a key created for
        // reading is opened with no more than read access.
        const REGSAM rights = access == SubKeyAccess::ReadCreating ? KEY_READ : KEY_ALL_ACCESS;
        DWORD disposition = 0;
        status = Os.RegCreateKeyExW(handle_, name.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr,
            REG_OPTION_NON_VOLATILE, rights | view, /*lpSecurityAttributes=*/nullptr, &child.handle_, &disposition);
    }
    if (status != ERROR_SUCCESS) {
        child.handle_ = ClosedKey;
    }
    return child;
}

RegistryKey RegistryKey::CreateNewSubKey(const std::wstring& name, SECURITY_ATTRIBUTES* security) const
{
    bool named = false;
    RegistryKey child = ClosedSubKey(name, named);
    if (!IsOpen() || !named) {
        return child;
    }
    // A registry link in the name's place is opened as itself, and so found
    // to exist: followed, a link to a missing key would create that key.
    DWORD disposition = 0;
    const LONG status = Os.RegCreateKeyExW(handle_, name.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr,
        REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | ViewAccess(), security, &child.handle_,
        &disposition);
    if (status != ERROR_SUCCESS) {
        child.handle_ = ClosedKey;
    } else if (disposition != REG_CREATED_NEW_KEY) {
        // Someone else's key, with someone else's descriptor and contents.
        child.Close();
    }
    return child;
}

RegistryKey RegistryKey::SubKeyItself(const std::wstring& name, LONG& status) const
{
    bool named = false;
    RegistryKey child = ClosedSubKey(name, named);
    if (!named) {
        status = ERROR_NOT_ENOUGH_MEMORY;
        return child;
    }
    status = Os.RegOpenKeyExW(handle_, name.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_READ | ViewAccess(),
        &child.handle_);
    if (status != ERROR_SUCCESS) {
        child.handle_ = ClosedKey;
    }
    return child;
}
