// The one list of operating-system calls product code may make. Each line names
// the call and how a failure of it looks to the caller, which is what a test's
// fault sweep produces when it fails that call:
//   Zero          returns 0, FALSE or null and sets the last-error value
//   InvalidHandle returns INVALID_HANDLE_VALUE and sets the last-error value
//   ErrorCode     returns the error code itself (registry, SHCreateDirectoryExW)
//   Hresult       returns a failing HRESULT
//   WaitFailed    returns WAIT_FAILED and sets the last-error value
//   Never         is not failed by a sweep (it cannot fail, or reports errors)
// Adding a call is one line here; the table and its defaults follow from it.
// No include guard: the list is expanded once per use.

OS_CALL(GetLastError, Never)
OS_CALL(SetLastError, Never)
OS_CALL(GetCommandLineW, Never)
OS_CALL(GetCurrentProcess, Never)
OS_CALL(SetErrorMode, Never)
OS_CALL(SetDllDirectoryW, Zero)
OS_CALL(GetModuleHandleW, Zero)
OS_CALL(LoadLibraryW, Zero)
OS_CALL(FreeLibrary, Zero)
OS_CALL(GetProcAddress, Zero)
OS_CALL(GetVersionExW, Zero)
OS_CALL(FindResourceW, Zero)
OS_CALL(LoadStringW, Zero)
OS_CALL(InitCommonControlsEx, Zero)
OS_CALL(GetActiveWindow, Never)
OS_CALL(MessageBoxW, Zero)
OS_CALL(CloseHandle, Zero)
OS_CALL(FindClose, Zero)
OS_CALL(RegCloseKey, ErrorCode)
OS_CALL(CloseServiceHandle, Zero)
OS_CALL(SizeofResource, Zero)
OS_CALL(LoadResource, Zero)
OS_CALL(LockResource, Zero)
OS_CALL(GetTempPathW, Zero)
OS_CALL(CreateDirectoryW, Zero)
OS_CALL(UuidCreate, ErrorCode)
OS_CALL(UuidToStringW, ErrorCode)
OS_CALL(RpcStringFreeW, ErrorCode)
OS_CALL(SHGetFolderPathW, Hresult)
OS_CALL(SHCreateDirectoryExW, ErrorCode)
OS_CALL(CreateFileW, InvalidHandle)
OS_CALL(WriteFile, Zero)
OS_CALL(DeleteFileW, Zero)
OS_CALL(RemoveDirectoryW, Zero)
OS_CALL(ShellExecuteExW, Zero)
OS_CALL(WaitForSingleObject, WaitFailed)
OS_CALL(GetExitCodeProcess, Zero)
OS_CALL(FindFirstFileW, InvalidHandle)
OS_CALL(FindNextFileW, Zero)
OS_CALL(GetSystemDirectoryW, Zero)
OS_CALL(GetFileAttributesW, Never)
