#pragma once

#include "../RunExitCode.h"

#include <windows.h>

// Logs who and where the run is: the product's name and file version from
// the launcher's version block and the launcher's path, its whole command
// line, the Windows version and build the launcher was told,
// WOW64 and the native processor (as IsWow64Process2 told it, or, where it
// told nothing, as WOW64 implies: before Windows 10 there is no other),
// whether the process is elevated, and the log's own path.
void LogRunHeader(const OSVERSIONINFOW& version, bool is64BitWindows, const NativeMachineReport& nativeMachine);
