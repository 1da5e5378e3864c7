#pragma once

#include <windows.h>

// Logs who and where the run is: the launcher's path and file version, its
// whole command line, the Windows version and build the launcher was told,
// WOW64 and the native processor, whether the process is elevated, and the
// log's own path.
void LogRunHeader(const OSVERSIONINFOW& version, bool is64BitWindows);
