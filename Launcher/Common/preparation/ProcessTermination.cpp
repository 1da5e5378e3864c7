#include "ProcessTermination.h"

#include "../LauncherConfig.h"
#include "../platform/Handles.h"

#include <cwchar>

static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32W) == 556, "the snapshot record of a 32-bit build");

namespace {

// Exact, case-sensitive comparison with the bare image name; the count is
// read afresh for every process.
bool IsListed(const wchar_t* imageName)
{
    for (std::int32_t i = 0; i < LauncherConfig.ProcessNameCount; ++i) {
        if (std::wcscmp(LauncherConfig.ProcessNames[i], imageName) == 0) {
            return true;
        }
    }
    return false;
}

// Starts the termination and does not wait for it. A process that cannot be
// opened (ended meanwhile, or protected) is skipped.
bool EndProcess(DWORD processId)
{
    const ProcessHandle process(Os.OpenProcess(PROCESS_TERMINATE, /*bInheritHandle=*/FALSE, processId));
    return process.IsValid() && Os.TerminateProcess(process.Get(), /*uExitCode=*/0) != FALSE;
}

}  // namespace

std::int32_t TerminateListedProcesses()
{
    std::int32_t terminated = 0;
    const SnapshotHandle snapshot(Os.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, /*th32ProcessID=*/0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (!Os.Process32FirstW(snapshot.Get(), &entry)) {
        return terminated;
    }
    do {
        if (IsListed(entry.szExeFile) && EndProcess(entry.th32ProcessID)) {
            ++terminated;
        }
    } while (Os.Process32NextW(snapshot.Get(), &entry));
    return terminated;
}
