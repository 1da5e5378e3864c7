#include "SystemLibrary.h"

ModuleHandle LoadSystemLibrary(const wchar_t* name)
{
    return ModuleHandle(Os.LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}
