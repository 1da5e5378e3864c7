#include "LookedUpCalls.h"

#include "OsCalls.h"

namespace {

constexpr LONG ProcedureNotFound = static_cast<LONG>(0xC000007A);  // STATUS_PROCEDURE_NOT_FOUND

template <typename Function>
Function LookUp(const wchar_t* moduleName, const char* exportName)
{
    const HMODULE module = Os.GetModuleHandleW(moduleName);
    if (module == nullptr) {
        return nullptr;
    }
    const FARPROC address = Os.GetProcAddress(module, exportName);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace

BOOL WINAPI LookedUp::IsWow64Process(HANDLE process, PBOOL isWow64)
{
    const auto function = LookUp<decltype(&IsWow64Process)>(L"kernel32", "IsWow64Process");
    return function != nullptr ? function(process, isWow64) : FALSE;
}

BOOL WINAPI LookedUp::IsWow64Process2(HANDLE process, USHORT* processMachine, USHORT* nativeMachine)
{
    const auto function = LookUp<decltype(&IsWow64Process2)>(L"kernel32", "IsWow64Process2");
    return function != nullptr ? function(process, processMachine, nativeMachine) : FALSE;
}

BOOL WINAPI LookedUp::SetDefaultDllDirectories(DWORD directoryFlags)
{
    const auto function = LookUp<decltype(&SetDefaultDllDirectories)>(L"kernel32", "SetDefaultDllDirectories");
    return function != nullptr ? function(directoryFlags) : FALSE;
}

LONG NTAPI LookedUp::NtDeleteKey(HANDLE key)
{
    const auto function = LookUp<decltype(&NtDeleteKey)>(L"ntdll.dll", "NtDeleteKey");
    return function != nullptr ? function(key) : ProcedureNotFound;
}

UINT WINAPI LookedUp::MsiGetProductInfoExW(LPCWSTR productCode, LPCWSTR userSid, MSIINSTALLCONTEXT context,
                                           LPCWSTR property, LPWSTR value, LPDWORD valueLength)
{
    const auto function = LookUp<decltype(&MsiGetProductInfoExW)>(L"msi.dll", "MsiGetProductInfoExW");
    if (function == nullptr) {
        const DWORD error = Os.GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_PROC_NOT_FOUND;
    }
    return function(productCode, userSid, context, property, value, valueLength);
}

BOOL WINAPI LookedUp::CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL inherit)
{
    const auto function = LookUp<decltype(&CreateEnvironmentBlock)>(L"userenv.dll", "CreateEnvironmentBlock");
    return function != nullptr ? function(environment, token, inherit) : FALSE;
}

BOOL WINAPI LookedUp::DestroyEnvironmentBlock(LPVOID environment)
{
    const auto function = LookUp<decltype(&DestroyEnvironmentBlock)>(L"userenv.dll", "DestroyEnvironmentBlock");
    return function != nullptr ? function(environment) : FALSE;
}
