#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The names, among those found in the log folder, that go so that only the
// newest keep launcher logs ("InstallerLauncher-YYYYMMDD-hhmmss-<pid>.log")
// stay, each with the Windows Installer logs named after it
// ("<its name without .log>-..."). Other names are never chosen.
std::vector<std::wstring> LogsToDelete(std::vector<std::wstring> names, std::size_t keep);

// Whether the name is that of a launcher log.
bool IsLauncherLogName(const std::wstring& name);
