#include "../InstallerLauncher.h"

#include "FolderSecurity.h"
#include "../platform/Handles.h"

#include <cwchar>

namespace {

bool IsDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// Only files are staged; a folder or a link found there is left alone.
bool IsStagedFile(const WIN32_FIND_DATAW& entry)
{
    return !IsDotEntry(entry.cFileName) &&
        (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

std::wstring WithoutTrailingBackslash(const std::wstring& folder)
{
    return folder.substr(0, folder.size() - 1);
}

}  // namespace

bool CInstallerLauncher::StagingDirectoryIsIntact() const
{
    const std::wstring path = WithoutTrailingBackslash(StagingDirectory);
    if (!IsPlainFolder(Os.GetFileAttributesW(path.c_str()))) {
        return false;
    }
    if (!stagingFolder_.IsValid()) {
        return true;
    }
    const FileHandle named(Os.CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
    BY_HANDLE_FILE_INFORMATION found;
    return named.IsValid() && Os.GetFileInformationByHandle(named.Get(), &found) &&
        IsPlainFolder(found.dwFileAttributes) && IsSameObject(found, stagingFolderIdentity_);
}

// Whatever cannot be deleted stays, silently, and keeps the folder with it.
void CInstallerLauncher::RemoveStagingDirectory()
{
    if (StagingDirectory.empty()) {
        return;
    }
    const bool intact = StagingDirectoryIsIntact();
    if (intact) {
        WIN32_FIND_DATAW entry;
        FindHandle search(Os.FindFirstFileW((StagingDirectory + L"*.*").c_str(), &entry));
        if (search.IsValid()) {
            do {
                if (IsStagedFile(entry)) {
                    Os.DeleteFileW((StagingDirectory + entry.cFileName).c_str());
                }
            } while (Os.FindNextFileW(search.Get(), &entry));
            search.Close();
        }
    }
    stagingFolder_.Close();
    if (intact) {
        Os.RemoveDirectoryW(StagingDirectory.c_str());
    }
    StagingDirectory.clear();
}
