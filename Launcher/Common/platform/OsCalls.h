#pragma once

#include <windows.h>
#include <aclapi.h>
#include <commctrl.h>
#include <rpc.h>
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winsvc.h>

#include "LookedUpCalls.h"

// Every operating-system call of the product goes through this table, so that a
// test can replace any entry to fail the call, record its arguments or count
// opens against closes. Each member has the exact name and type of the call and
// starts out as the real function.
struct OsCallTable {
#define OS_CALL(name, failure) decltype(&::name) name = &::name;
#include "OsCallList.h"
#undef OS_CALL
#define OS_CALL(name, failure) decltype(&LookedUp::name) name = &LookedUp::name;
#include "LookedUpCallList.h"
#undef OS_CALL
};

// The table the product calls through: Os.CreateFileW(...).
extern OsCallTable Os;

// The untouched real functions, for putting entries back.
extern const OsCallTable RealOs;
