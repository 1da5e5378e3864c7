#include "LibraryLoads.h"

namespace {

struct Loads {
    std::vector<LibraryLoads::Load> Seen;
    std::wstring Failing;
    DWORD Error = ERROR_SUCCESS;
};
Loads loads;

HMODULE WINAPI RecordingLoadLibraryEx(LPCWSTR name, HANDLE file, DWORD flags)
{
    loads.Seen.push_back({name, file, flags});
    if (!loads.Failing.empty() && _wcsicmp(name, loads.Failing.c_str()) == 0) {
        RealOs.SetLastError(loads.Error);
        return nullptr;
    }
    return RealOs.LoadLibraryExW(name, file, flags);
}

}  // namespace

LibraryLoads::LibraryLoads() : recording_(&RecordingLoadLibraryEx)
{
    loads = Loads{};
}

void LibraryLoads::Fail(const std::wstring& name, DWORD error)
{
    loads.Failing = name;
    loads.Error = error;
}

const std::vector<LibraryLoads::Load>& LibraryLoads::Seen() const
{
    return loads.Seen;
}
