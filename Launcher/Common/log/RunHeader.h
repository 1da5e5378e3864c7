#pragma once

#include "../RunExitCode.h"

#include <windows.h>

// Logs who and where the run is: the launcher's path and file version, its
// whole command line, the Windows version and build the launcher was told,
// WOW64 and the native processor (as IsWow64Process2 told it, or, where it
// told nothing, as WOW64 implies: before Windows 10 there is no other),
// whether the process is elevated, and the log's own path.
void LogRunHeader(const OSVERSIONINFOW& version, bool is64BitWindows, const NativeMachineReport& nativeMachine);
