#pragma once

#include "Handles.h"

// Loads a DLL of Windows' own from the system folder, its dependencies looked
// for there too: never the launcher's folder, the current folder or PATH,
// which a user can write in or name. Windows 7 without KB2533623 refuses the
// flag with InvalidParameter; the caller then goes without the DLL. An
// empty owner means failure; the last-error value is then the load's.
ModuleHandle LoadSystemLibrary(const wchar_t* name);
