#include "DllSearchHardening.h"

#include "../platform/RuntimeLookup.h"

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD directoryFlags);
constexpr DWORD SearchSystem32Only = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void HardenDllSearch()
{
    // Drops the current directory from the search order on every Windows.
    Os.SetDllDirectoryW(L"");
    // Windows 7 has this only with a security update, so it is looked up.
    const auto setDefaultDllDirectories = LookUpFunction<SetDefaultDllDirectoriesFunction>(
        Os.GetModuleHandleW(L"kernel32"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(SearchSystem32Only);
    }
}
