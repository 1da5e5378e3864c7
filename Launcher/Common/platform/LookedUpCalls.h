#pragma once

#include <windows.h>
#include <msi.h>
#include <userenv.h>

// The default entries of the looked-up calls: each finds its function by
// export name in a module already loaded into the process, through the call
// table, and calls it. When the module or the export is missing, each returns
// its call's failure result and leaves the lookup's last-error value, so that
// ERROR_PROC_NOT_FOUND (127) tells a Windows that lacks the export apart from
// a lookup that failed.
namespace LookedUp {

BOOL WINAPI IsWow64Process(HANDLE process, PBOOL isWow64);
BOOL WINAPI IsWow64Process2(HANDLE process, USHORT* processMachine, USHORT* nativeMachine);
BOOL WINAPI SetDefaultDllDirectories(DWORD directoryFlags);
// Returns STATUS_PROCEDURE_NOT_FOUND when unresolved.
LONG NTAPI NtDeleteKey(HANDLE key);
// msi.dll is not imported, so that the launcher starts without it: a caller
// loads it from the system folder and holds it while it asks. Returns the
// lookup's error code when unresolved.
UINT WINAPI MsiGetProductInfoExW(LPCWSTR productCode, LPCWSTR userSid, MSIINSTALLCONTEXT context,
                                 LPCWSTR property, LPWSTR value, LPDWORD valueLength);
// userenv.dll is not imported either: a caller loads it from the system folder
// and holds it until the block is destroyed. Each returns FALSE with the
// lookup's last-error value when unresolved.
BOOL WINAPI CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL inherit);
BOOL WINAPI DestroyEnvironmentBlock(LPVOID environment);

}  // namespace LookedUp
