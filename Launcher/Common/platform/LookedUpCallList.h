// The calls the launcher makes to functions it looks up at run time, because
// some Windows it runs on lacks them (Windows 7 without its updates) or they
// live outside the modules it imports (ntdll, msi.dll, userenv.dll). They are members of
// the call table like every other call, with the same failure kinds, so that
// a test can replace or fail them; their default entries are the thunks of
// LookedUpCalls.h. No include guard: the list is expanded once per use.

OS_CALL(IsWow64Process, Zero)
OS_CALL(IsWow64Process2, Zero)
OS_CALL(SetDefaultDllDirectories, Zero)
OS_CALL(NtDeleteKey, Ntstatus)
OS_CALL(MsiGetProductInfoExW, ErrorCode)
OS_CALL(CreateEnvironmentBlock, Zero)
OS_CALL(DestroyEnvironmentBlock, Zero)
