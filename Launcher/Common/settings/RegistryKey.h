#pragma once

#include "RegistryValueData.h"
#include "Variant.h"
#include "../platform/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Which predefined key a RegistryKey lies below. Any other selector opens
// nothing.
enum RegistryRoot : std::int32_t {
    ClassesRoot = 0,
    CurrentUser = 1,
    LocalMachine = 2,
    Users = 3,
};

// What a sub-key of an open key is opened for.
enum class SubKeyAccess {
    // Reading only; a missing key stays missing.
    Read,
    // Reading only; a missing key is created empty.
    ReadCreating,
    // Everything; a missing key is created.
    Write,
};

// One registry key, named by root, path and view, with an open handle once
// opened. Results are HRESULT-style: S_OK (or another non-negative value) on
// success, E_FAIL on every failure. Every operation but Open needs an open key
// and gives E_FAIL on a closed one. Destroying the key closes it; moving it
// hands its handle on.
class RegistryKey {
public:
    explicit RegistryKey(std::wstring path, std::int32_t root = LocalMachine, bool use64BitView = false);

    // Opens the key: read-only, or with all access, creating it and every
    // missing key on its path. Returns 1 and changes nothing when the key is
    // open already.
    std::int32_t Open(bool readOnly);
    void Close();
    bool IsOpen() const;

    const std::wstring& Path() const { return path_; }
    std::int32_t Root() const { return root_; }
    // Addresses the key in the 64-bit view although the process is 32-bit.
    bool Use64BitView() const { return use64BitView_; }

    // The path of the sub-key name (one component or a relative path).
    std::wstring SubKeyPath(const std::wstring& name) const;
    // The sub-key name, opened relative to this key's handle in its view, so
    // that it lies below this very key whatever its path now leads to. The
    // result is closed when it could not be opened, its path not even made
    // for want of memory included.
    RegistryKey SubKey(const std::wstring& name, SubKeyAccess access) const;
    // Creates the sub-key name with all access and security's descriptor.
    // The result is closed when the creation failed and when a key or a
    // registry link of that name was there already: it is left untouched.
    RegistryKey CreateNewSubKey(const std::wstring& name, SECURITY_ATTRIBUTES* security) const;

    // Reads the named value into value, which is Empty after any failure.
    // REG_SZ text up to its first NUL becomes a String (E_FAIL for a code
    // unit above 0x00FF in it); data of any other type is read as a value
    // blob, and data that is none leaves value Empty with S_OK. E_FAIL for a
    // missing value, and for one that does not fit in memory (value's
    // Allocate failing included).
    std::int32_t ReadValue(const std::wstring& name, Variant& value) const;
    // Stores a String as REG_SZ (S_OK) and any other kind as a REG_BINARY
    // value blob, returning the blob's length. Nothing is written on E_FAIL.
    std::int32_t WriteValue(const std::wstring& name, const Variant& value);

    // The named value's registry type and data exactly as stored; E_FAIL for
    // a missing value or a buffer that cannot be allocated.
    std::int32_t ReadRawValue(const std::wstring& name, RegistryValueData& value) const;
    // Stores the value with its own registry type and data.
    std::int32_t WriteRawValue(const std::wstring& name, const RegistryValueData& value);

    // Fills names with the names of the sub-keys. A failed count gives none;
    // a name that does not fit 254 characters ends the list with E_FAIL,
    // keeping the names before it.
    std::int32_t EnumSubKeys(std::vector<std::wstring>& names) const;
    // Makes names one entry per value (the default value as the empty name).
    // A failed count gives none; a name that does not fit 254 characters
    // gives E_FAIL and leaves the entries from its index on empty.
    std::int32_t EnumValueNames(std::vector<std::wstring>& names) const;
    // Lists every value with its registry type and data exactly as stored,
    // one entry per value in index order, the way EnumValueNames lists the
    // names: a failed count gives none, and a name that does not fit 254
    // characters gives E_FAIL. A value whose data does not fit in memory is
    // listed unread and the listing goes on.
    std::int32_t EnumValues(std::vector<ListedRegistryValue>& values) const;

    // Deletes the sub-key name with everything below it, children before
    // parents. A sub-key whose own sub-keys were not all deleted stays, and
    // the result is then E_FAIL; the rest of the tree is deleted regardless.
    // A missing sub-key gives S_OK. Every key is opened relative to its
    // parent's handle and deleted through its own handle, and a registry link
    // is deleted as the link: nothing it points at is touched.
    std::int32_t DeleteSubKeyTree(const std::wstring& name);
    // Deletes everything below this key the same way, then the key itself
    // through its handle, which stays open until the key is closed.
    std::int32_t DeleteTree();

private:
    // KEY_WOW64_64KEY when the key is addressed in the 64-bit view, else 0.
    REGSAM ViewAccess() const;
    // The sub-key name, closed; named is false, and the path empty, when
    // there was no memory for its path.
    RegistryKey ClosedSubKey(const std::wstring& name, bool& named) const;
    // The sub-key name itself, opened to be listed and deleted: a registry
    // link is opened as the link, never followed. status is the open's, or
    // OutOfMemory.
    RegistryKey SubKeyItself(const std::wstring& name, LONG& status) const;

    // A key this object opened, empty while closed. The predefined roots are
    // only ever the parents of an open, never held here.
    RegistryKeyHandle handle_;
    std::int32_t root_;
    std::wstring path_;
    bool use64BitView_;
};

// Copies every sub-key and value below source into destination, both open:
// sub-keys first, depth-first, then the values. Values and sub-keys already in
// destination are overwritten when they share a name and kept otherwise.
// REG_SZ text whose code units all lie in 0x0000 to 0x00FF and valid value
// blobs go through a Variant (so a blob of a String arrives as REG_SZ);
// every other value arrives with its own registry type and data. Failures are
// gathered and the copy goes on; any of them gives E_FAIL.
// copied, when given, counts the keys below destination and the values that
// the copy wrote.
struct RegistryTreeSize {
    std::int32_t Keys = 0;
    std::int32_t Values = 0;
};
std::int32_t CopyKeyTree(const RegistryKey& source, RegistryKey& destination, RegistryTreeSize* copied = nullptr);
