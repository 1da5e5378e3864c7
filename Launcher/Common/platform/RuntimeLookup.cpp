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
