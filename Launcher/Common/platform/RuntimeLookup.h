#pragma once

#include "OsCalls.h"
#include "../RunExitCode.h"

// Whether this process is a 32-bit process on 64-bit Windows, asked through the
// looked-up IsWow64Process. Returns false when kernel32 lacks the export, which
// only 32-bit Windows does. When the lookup or the call fails otherwise,
// returns false and sets queryFailed; the last-error value is the failure's.
bool QueryWow64(bool& queryFailed);

// The machine Windows runs on natively, asked through the looked-up
// IsWow64Process2; tells nothing where the export is missing (Windows 7 and
// 8.1) or the call fails.
NativeMachineReport QueryNativeMachine();
