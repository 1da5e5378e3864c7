#include "ProcessTermination.h"

#include "../LauncherConfig.h"
#include "../ResultCodes.h"
#include "../log/RunEvents.h"
#include "../platform/Handles.h"
#include "../settings/BufferAllocation.h"

#include <cwchar>
#include <vector>

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

// What the process's image file is named by now: the process the snapshot
// listed may have ended, and its identifier gone to another program, before
// it was opened.
enum class ImageCheck { Listed, Other, Unreadable };

ImageCheck CheckImage(HANDLE process, const wchar_t* imageName)
{
    // The longest path Windows reports, in characters.
    constexpr DWORD LongestPath = 32768;
    std::vector<wchar_t> path;
    DWORD length = LongestPath;
    if (!TryResize(path, LongestPath)) {
        Os.SetLastError(static_cast<DWORD>(OutOfMemory));
        return ImageCheck::Unreadable;
    }
    if (!Os.QueryFullProcessImageNameW(process, /*dwFlags=*/0, path.data(), &length)) {
        return ImageCheck::Unreadable;
    }
    const wchar_t* fileName = path.data();
    for (DWORD i = 0; i < length; ++i) {
        if (path[i] == L'\\') {
            fileName = path.data() + i + 1;
        }
    }
    return std::wcscmp(fileName, imageName) == 0 ? ImageCheck::Listed : ImageCheck::Other;
}

// Starts the termination and does not wait for it. A process that cannot be
// opened (ended meanwhile, or protected), read or ended keeps its files in
// use, so that a restart or a failed upgrade follows: it gets a warning line.
// One that runs another image by now is none of the launcher's business.
bool EndProcess(DWORD processId, const wchar_t* imageName)
{
    const ProcessHandle process(Os.OpenProcess(
        PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, /*bInheritHandle=*/FALSE, processId));
    if (!process.IsValid()) {
        LogProcessNotEnded(imageName, processId, L"OpenProcess", Os.GetLastError());
        return false;
    }
    switch (CheckImage(process.Get(), imageName)) {
    case ImageCheck::Other:
        return false;
    case ImageCheck::Unreadable:
        LogProcessNotEnded(imageName, processId, L"QueryFullProcessImageNameW", Os.GetLastError());
        return false;
    case ImageCheck::Listed:
        break;
    }
    if (!Os.TerminateProcess(process.Get(), /*uExitCode=*/0)) {
        LogProcessNotEnded(imageName, processId, L"TerminateProcess", Os.GetLastError());
        return false;
    }
    return true;
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
        if (IsListed(entry.szExeFile) && EndProcess(entry.th32ProcessID, entry.szExeFile)) {
            LogProcessEnded(entry.szExeFile, entry.th32ProcessID);
            ++terminated;
        }
    } while (Os.Process32NextW(snapshot.Get(), &entry));
    return terminated;
}
