#include "RegistryKey.h"

#include "../ResultCodes.h"
#include "../platform/OsCalls.h"
#include "BufferAllocation.h"

#include <utility>

namespace {

// A value no key handle takes.
const HKEY NoKey = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(-1));

// An unknown selector becomes a handle of no key, so opening below it fails.
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
        return NoKey;
    }
}

}  // namespace

RegistryKey::RegistryKey(std::wstring path, std::int32_t root, bool use64BitView)
    : root_(root), path_(std::move(path)), use64BitView_(use64BitView)
{
}

std::int32_t RegistryKey::Open(bool readOnly)
{
    if (IsOpen()) {
        return 1;
    }
    const REGSAM view = ViewAccess();
    if (readOnly) {
        Os.RegOpenKeyExW(PredefinedKey(root_), path_.c_str(), /*ulOptions=*/0, KEY_READ | view, handle_.Put());
    } else {
        DWORD disposition = 0;
        Os.RegCreateKeyExW(PredefinedKey(root_), path_.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr,
            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, /*lpSecurityAttributes=*/nullptr, handle_.Put(),
            &disposition);
    }
    return IsOpen() ? S_OK : E_FAIL;
}

void RegistryKey::Close()
{
    handle_.Close();
}

bool RegistryKey::IsOpen() const
{
    return handle_.IsValid();
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
    if (access == SubKeyAccess::Read) {
        Os.RegOpenKeyExW(handle_.Get(), name.c_str(), /*ulOptions=*/0, KEY_READ | view, child.handle_.Put());
    } else {
        // Creating needs only the parent's permission, so a key created for
        // reading is opened with no more than read access.
        const REGSAM rights = access == SubKeyAccess::ReadCreating ? KEY_READ : KEY_ALL_ACCESS;
        DWORD disposition = 0;
        Os.RegCreateKeyExW(handle_.Get(), name.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr,
            REG_OPTION_NON_VOLATILE, rights | view, /*lpSecurityAttributes=*/nullptr, child.handle_.Put(),
            &disposition);
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
    const LONG status = Os.RegCreateKeyExW(handle_.Get(), name.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr,
        REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | ViewAccess(), security,
        child.handle_.Put(), &disposition);
    if (status == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY) {
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
        status = OutOfMemory;
        return child;
    }
    status = Os.RegOpenKeyExW(handle_.Get(), name.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_READ | ViewAccess(),
        child.handle_.Put());
    return child;
}
