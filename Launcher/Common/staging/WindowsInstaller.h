#pragma once

#include <cstdint>
#include <string>

// The full path of the system's msiexec.exe. An elevated launcher must not
// start "msiexec" by bare name: the search would look in the launcher's own
// folder, often a downloads folder, first. Returns 0, or the failing call's
// code.
std::int32_t LocateWindowsInstaller(std::wstring& path);
