#include "../InstallerLauncher.h"

#include "../platform/Handles.h"

#include <cwchar>

namespace {

bool IsDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

}  // namespace

// Only files are staged, so one level is all there is to delete; whatever
// cannot be deleted stays, silently, and keeps the folder with it.
void CInstallerLauncher::RemoveStagingDirectory()
{
    if (StagingDirectory.empty()) {
        return;
    }
    WIN32_FIND_DATAW entry;
    FindHandle search(Os.FindFirstFileW((StagingDirectory + L"*.*").c_str(), &entry));
    if (search.IsValid()) {
        do {
            if (!IsDotEntry(entry.cFileName)) {
                Os.DeleteFileW((StagingDirectory + entry.cFileName).c_str());
            }
        } while (Os.FindNextFileW(search.Get(), &entry));
        search.Close();
    }
    Os.RemoveDirectoryW(StagingDirectory.c_str());
    StagingDirectory.clear();
}
