#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// Every key and value below a key, by relative path; a key is an entry with
// type REG_NONE and no data under its path and a trailing backslash.
using RegistryTreeContents = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;

// What lies below the key at path under HKEY_LOCAL_MACHINE, read with the
// real calls; empty when the key is missing.
RegistryTreeContents TreeAt(const std::wstring& path);
