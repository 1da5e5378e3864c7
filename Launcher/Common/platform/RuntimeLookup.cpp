#include "RuntimeLookup.h"

bool QueryWow64(bool& queryFailed)
{
    BOOL isWow64 = FALSE;
    if (Os.IsWow64Process(Os.GetCurrentProcess(), &isWow64)) {
        queryFailed = false;
        return isWow64 != FALSE;
    }
    // A failed lookup leaves its own code, so it is not taken for a missing
    // export and a 64-bit Windows is never taken for a 32-bit one.
    queryFailed = Os.GetLastError() != ERROR_PROC_NOT_FOUND;
    return false;
}

NativeMachineReport QueryNativeMachine()
{
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    if (!Os.IsWow64Process2(Os.GetCurrentProcess(), &processMachine, &nativeMachine)) {
        return {false, 0};
    }
    return {true, nativeMachine};
}
