#include "StagingFolder.h"

#include "FailureReport.h"
#include "FolderSecurity.h"
#include "GuidText.h"
#include "../ResultCodes.h"
#include "../platform/SystemFolders.h"
#include "../settings/BufferAllocation.h"


namespace {

// A folder that takes no new directory would otherwise be tried for ever.
constexpr int StagingDirectoryAttempts = 16;

// Windows' own temporary folder: "SystemTemp" where Windows has made it
// (only SYSTEM and Administrators may enter it), else "Temp". Both are named
// by the system, never by the user's environment.
std::int32_t StagingRoot(std::wstring& root)
{
    std::wstring folder;
    if (!WindowsFolder(folder)) {
        return ReportLastError("GetSystemWindowsDirectory");
    }
    const std::wstring systemTemp = folder + L"\\SystemTemp";
    root = IsPlainFolder(Os.GetFileAttributesW(systemTemp.c_str())) ? systemTemp : folder + L"\\Temp";
    return 0;
}

// Deletes what is below folder (with its trailing backslash), going on past
// failures. A link is removed as itself: a folder link with
// RemoveDirectoryW, a file link with DeleteFileW, neither of which follows
// it.
void DeleteContents(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    FindHandle search(Os.FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!search.IsValid()) {
        return;
    }
    do {
        if (IsDotEntry(entry.cFileName)) {
            continue;
        }
        const std::wstring path = folder + entry.cFileName;
        const DWORD attributes = entry.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            Os.DeleteFileW(path.c_str());
            continue;
        }
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            DeleteContents(path + L"\\");
        }
        Os.RemoveDirectoryW(path.c_str());
    } while (Os.FindNextFileW(search.Get(), &entry));
    search.Close();
}

}  // namespace

std::int32_t StagingFolder::Create(std::wstring& path)
{
    return CreateNamed(L"", /*withChildTemporaryFolder=*/true, path);
}

std::int32_t StagingFolder::CreateForLogs(std::wstring& path)
{
    return CreateNamed(L"InstallerLauncher-Logs-", /*withChildTemporaryFolder=*/false, path);
}

std::int32_t StagingFolder::CreateNamed(const wchar_t* namePrefix, bool withChildTemporaryFolder, std::wstring& path)
{
    std::wstring root;
    if (const std::int32_t code = StagingRoot(root)) {
        return code;
    }
    ProtectedDescriptor descriptor;
    if (const std::int32_t code = descriptor.Parse(StagingFolderDescriptor)) {
        return code;
    }
    for (int attempt = 0; attempt < StagingDirectoryAttempts; ++attempt) {
        // A GUID that cannot be made is tried again, like a name taken.
        std::wstring guid;
        if (MakeGuidText(guid) != 0) {
            continue;
        }
        // Every name is made before the folder, so that nothing between its
        // creation and its handing over can run out of memory.
        const std::wstring folder = root + L"\\" + namePrefix + guid;
        std::wstring childTemporaryFolder = withChildTemporaryFolder ? folder + L"\\Temp" : std::wstring();
        std::wstring folderPath = folder + L"\\";
        if (!Os.CreateDirectoryW(folder.c_str(), descriptor.Attributes())) {
            continue;
        }
        const std::int32_t held = OrOnAllocationFailure(OutOfMemory, [&] { return Hold(folder, descriptor); });
        if (held != 0) {
            // Only the empty folder the run made; a stranger's is not emptied.
            Os.RemoveDirectoryW(folder.c_str());
            return held;
        }
        // A folder the children cannot be given is tried again, like a name
        // taken; the empty one made is removed.
        if (!withChildTemporaryFolder || Os.CreateDirectoryW(childTemporaryFolder.c_str(), descriptor.Attributes())) {
            childTemporaryFolder_ = std::move(childTemporaryFolder);
            path = std::move(folderPath);
            return 0;
        }
        folder_.Close();
        Os.RemoveDirectoryW(folder.c_str());
    }
    return ReportLastError("CreateDirectory");
}

// Held without delete sharing, so that nobody can rename the folder away and
// put a link or a folder of their own in its place. One put there before it
// was opened is refused by its owner; a link on the way to it, by its final
// path.
std::int32_t StagingFolder::Hold(const std::wstring& folder, ProtectedDescriptor& descriptor)
{
    FileHandle held(Os.CreateFileW(folder.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
        /*hTemplateFile=*/nullptr));
    std::int32_t code = 0;
    if (!held.IsValid()) {
        code = ReportLastError("CreateFile");
    } else if (!Os.GetFileInformationByHandle(held.Get(), &identity_)) {
        code = ReportLastError("GetFileInformationByHandle");
    } else if (!IsPlainFolder(identity_.dwFileAttributes)) {
        code = ReportFailure("SecureFolder", ReparsePointRefused);
    } else if ((code = ConfirmFinalPath(held.Get(), folder, "SecureFolder")) == 0) {
        code = ConfirmFolderIsOurs(held.Get(), folder, descriptor);
    }
    if (code != 0) {
        return code;
    }
    folder_ = std::move(held);
    return 0;
}

std::wstring StagingFolder::ChildTemporaryFolder() const
{
    return folder_.IsValid() ? childTemporaryFolder_ : std::wstring();
}

bool StagingFolder::IsIntact(const std::wstring& folder) const
{
    if (!IsPlainFolder(Os.GetFileAttributesW(folder.c_str()))) {
        return false;
    }
    if (!folder_.IsValid()) {
        return true;
    }
    const FileHandle named(Os.CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
    BY_HANDLE_FILE_INFORMATION found;
    return named.IsValid() && Os.GetFileInformationByHandle(named.Get(), &found) &&
        IsPlainFolder(found.dwFileAttributes) && IsSameObject(found, identity_);
}

void StagingFolder::Release()
{
    folder_.Close();
    childTemporaryFolder_.clear();
}

void StagingFolder::Remove(const std::wstring& path)
{
    // What cannot be removed for want of memory stays; the folder is let go
    // all the same.
    std::wstring folder;
    const bool intact = OrOnAllocationFailure(false, [&] {
        folder = path.substr(0, path.size() - 1);
        if (!IsIntact(folder)) {
            return false;
        }
        DeleteContents(path);
        return true;
    });
    Release();
    if (intact) {
        Os.RemoveDirectoryW(folder.c_str());
    }
}
