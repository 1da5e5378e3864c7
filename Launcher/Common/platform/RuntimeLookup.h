#pragma once

#include "OsCalls.h"
#include "../RunExitCode.h"

// A function of a loaded module looked up by its export name, through the call
// table so that a test can make the lookup fail or hand back a function of its
// own. Null when the module or the export is missing.
template <typename Function>
Function LookUpFunction(HMODULE module, const char* exportName)
{
    const FARPROC address = Os.GetProcAddress(module, exportName);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, PBOOL isWow64);

// Whether this process is a 32-bit process on 64-bit Windows, asked through the
// looked-up IsWow64Process. Returns false when the export is missing. When the
// call itself fails, returns false and sets queryFailed; the last-error value
// is the call's.
bool QueryWow64(bool& queryFailed);

using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE process, USHORT* processMachine, USHORT* nativeMachine);

// The machine Windows runs on natively, asked through the looked-up
// IsWow64Process2; tells nothing where the export is missing (Windows 7 and
// 8.1) or the call fails.
NativeMachineReport QueryNativeMachine();
