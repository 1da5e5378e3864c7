#include "RuntimeLookup.h"

bool QueryWow64(bool& queryFailed)
{
    queryFailed = false;
    BOOL isWow64 = FALSE;
    const auto isWow64Process =
        LookUpFunction<IsWow64ProcessFunction>(Os.GetModuleHandleW(L"kernel32"), "IsWow64Process");
    if (isWow64Process != nullptr && !isWow64Process(Os.GetCurrentProcess(), &isWow64)) {
        queryFailed = true;
        return false;
    }
    return isWow64 != FALSE;
}

NativeMachineReport QueryNativeMachine()
{
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    const auto isWow64Process2 =
        LookUpFunction<IsWow64Process2Function>(Os.GetModuleHandleW(L"kernel32"), "IsWow64Process2");
    if (isWow64Process2 == nullptr || !isWow64Process2(Os.GetCurrentProcess(), &processMachine, &nativeMachine)) {
        return {false, 0};
    }
    return {true, nativeMachine};
}
