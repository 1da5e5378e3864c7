#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Runs the system's msiexec.exe by its full path with these parameters, in
// the system folder with the environment block, and waits for it. While
// another installation holds Windows Installer, it waits before the start,
// and starts again after a busy answer (InstallerBusy), for at most
// MsiBusyWaitSeconds in all; then the result is InstallerBusy. An elevated
// launcher must not start "msiexec" by bare name (the search would look in
// the launcher's own folder, often a downloads folder, first) nor hand a
// package to the shell (whose associations a user can override). Returns
// LaunchAndWait's result, InstallerBusy when Windows Installer stayed busy,
// or the failing call's code when the system folder is not found.
std::int32_t RunWindowsInstaller(const std::wstring& parameters, const std::vector<wchar_t>& environment);
