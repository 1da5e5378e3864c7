#include "SystemFolders.h"

#include "OsCalls.h"

namespace {

// A folder asked of a call that fills a buffer of MAX_PATH characters.
template <typename Query>
bool FolderFrom(Query query, std::wstring& folder)
{
    wchar_t path[MAX_PATH];
    const UINT length = query(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    folder.assign(path, length);
    return true;
}

}  // namespace

bool SystemFolder(std::wstring& folder)
{
    return FolderFrom(Os.GetSystemDirectoryW, folder);
}

bool WindowsFolder(std::wstring& folder)
{
    return FolderFrom(Os.GetSystemWindowsDirectoryW, folder);
}
