#pragma once

#include <windows.h>

#include <string>

// Makes a registry link at path below HKEY_LOCAL_MACHINE, in this process's
// view, that leads to target, another key below HKEY_LOCAL_MACHINE in the
// same view, as a standard user allowed to create keys there could. A target
// that does not exist leaves the link dangling. Returns false when either
// call failed.
bool PlantRegistryLink(const std::wstring& path, const std::wstring& target);

// Deletes the registry link at path itself, if there is one, whatever it
// leads to; a test's own clean-up, which a link would send elsewhere.
void DeleteRegistryLink(const std::wstring& path);
