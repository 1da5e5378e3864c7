#include "DllSearchHardening.h"

#include "../platform/OsCalls.h"

namespace {

constexpr DWORD SearchSystem32Only = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void HardenDllSearch()
{
    // Drops the current directory from the search order on every Windows.
    Os.SetDllDirectoryW(L"");
    // Windows 7 has this only with a security update, so it is looked up; where
    // it is missing, the line above is all the hardening there is.
    Os.SetDefaultDllDirectories(SearchSystem32Only);
}
