#pragma once

#include <windows.h>

// Exit code for a failure whose call left no error code to report: a failed
// run must never read as success.
inline constexpr int UnspecifiedFailureExitCode = ERROR_INSTALL_FAILURE;  // 1603

// The exit code of a start-up that failed with this last-error value.
inline int StartupFailureExitCode(DWORD lastError)
{
    return lastError != 0 ? static_cast<int>(lastError) : UnspecifiedFailureExitCode;
}
