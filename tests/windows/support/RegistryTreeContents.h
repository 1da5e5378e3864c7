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

// Whether a key, or a link, is at path under HKEY_LOCAL_MACHINE in this view.
bool KeyExists(const std::wstring& path, REGSAM view = 0);

// Deletes the key at path, a path below Software, with everything below it
// in both views, the real calls' own cleanup.
void DeleteInBothViews(const std::wstring& path);
