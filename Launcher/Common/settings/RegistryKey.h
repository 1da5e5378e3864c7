#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Which predefined key a RegistryKey lies below. Any other selector opens
// nothing.
enum RegistryRoot : std::int32_t {
    ClassesRoot = 0,
    CurrentUser = 1,
    LocalMachine = 2,
    Users = 3,
};

// One registry key, named by root, path and view, with an open handle once
// opened. Results are HRESULT-style: S_OK (or another non-negative value) on
// success, E_FAIL on every failure. Destroying the key closes it.
class RegistryKey {
public:
    explicit RegistryKey(std::wstring path, std::int32_t root = LocalMachine, bool use64BitView = false);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

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

private:
    HKEY handle_;
    std::int32_t root_;
    std::wstring path_;
    bool use64BitView_;
};
