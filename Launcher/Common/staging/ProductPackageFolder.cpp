#include "ProductPackageFolder.h"

#include "FailureReport.h"
#include "FolderSecurity.h"
#include "GuidText.h"
#include "../LauncherConfig.h"
#include "../ResultCodes.h"

#include <array>
#include <cstddef>
#include <vector>

namespace {

// Enough to read a level's security and identity, and to list it: without a
// right to the folder's data the system would not count the hold against
// those who open the level to rename it. Never the right to delete: a level
// held with it would stop the level below from being moved aside.
constexpr DWORD HeldLevelAccess = READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY;
// Others may read and write in a held level, never rename or delete it.
constexpr DWORD HeldLevelSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Opens the object at path itself: a link is opened, not followed.
FileHandle OpenLevel(const std::wstring& path, DWORD access)
{
    return FileHandle(Os.CreateFileW(path.c_str(), access, HeldLevelSharing, /*lpSecurityAttributes=*/nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
}

// The owner of the common application data folder, who could replace
// anything below it anyway.
std::int32_t ReadSystemOwner(const std::wstring& commonAppData, RecordedOwner& owner)
{
    const DWORD read = Os.GetNamedSecurityInfoW(commonAppData.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
        &owner.Owner, /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr, owner.Memory.Put());
    if (read != ERROR_SUCCESS) {
        return ReportErrorCode("GetNamedSecurityInfo", read);
    }
    return 0;
}

// A level the run has just made: nobody else can have opened it, and only
// the held path leads to it.
std::int32_t HoldNewLevel(const std::wstring& path, FileHandle& held)
{
    FileHandle level = OpenLevel(path, HeldLevelAccess);
    if (!level.IsValid()) {
        return ReportLastError("CreateFile");
    }
    if (const std::int32_t code = ConfirmFinalPath(level.Get(), path, "SecureFolder")) {
        return code;
    }
    held = std::move(level);
    return 0;
}

// Renames the level at path, which must still be the object identity
// describes, to a name of its own beside it. The rename goes through a
// handle to the object itself, so a link in its place is moved, never
// followed, and whoever holds the old folder keeps it there.
std::int32_t MoveAside(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& identity)
{
    FileHandle level = OpenLevel(path, DELETE | FILE_READ_ATTRIBUTES);
    if (!level.IsValid()) {
        return ReportLastError("CreateFile");
    }
    BY_HANDLE_FILE_INFORMATION opened;
    if (!Os.GetFileInformationByHandle(level.Get(), &opened)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    if (!IsSameObject(identity, opened)) {
        return ReportFailure("SecureFolder", ERROR_FILE_INVALID);
    }
    std::wstring guid;
    if (const std::int32_t code = MakeGuidText(guid)) {
        return code;
    }
    const std::wstring target = path + L".untrusted-" + guid;
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    target.copy(rename->FileName, target.size());
    if (!Os.SetFileInformationByHandle(level.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
        return ReportLastError("SetFileInformationByHandle");
    }
    if (!level.Close()) {
        return ReportLastError("CloseHandle");
    }
    return 0;
}

// A level that exists already: a link or a file is refused; a trusted
// folder is held as it is; any other is moved aside and made anew, since
// whoever could write in it may still hold a handle that keeps that right.
std::int32_t SecureExistingLevel(
    const std::wstring& path, PSID systemOwner, ProtectedDescriptor& descriptor, FileHandle& held)
{
    // Asked of the path without a trailing backslash, which would follow a
    // link and show its target.
    const DWORD attributes = Os.GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return ReportLastError("GetFileAttributes");
    }
    if (const std::int32_t code = RefuseUnlessPlainFolder(attributes)) {
        return code;
    }
    FileHandle level = OpenLevel(path, HeldLevelAccess);
    if (!level.IsValid()) {
        return ReportLastError("CreateFile");
    }
    BY_HANDLE_FILE_INFORMATION identity;
    if (!Os.GetFileInformationByHandle(level.Get(), &identity)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    // A link swapped in since the first look is refused as well.
    if (const std::int32_t code = RefuseUnlessPlainFolder(identity.dwFileAttributes)) {
        return code;
    }
    if (const std::int32_t code = ConfirmFinalPath(level.Get(), path, "SecureFolder")) {
        return code;
    }
    bool trusted = false;
    if (const std::int32_t code = IsTrustedFolder(level.Get(), systemOwner, trusted)) {
        return code;
    }
    if (trusted) {
        held = std::move(level);
        return 0;
    }
    // Let go first: the hold shares no deletion, not even with the run.
    if (!level.Close()) {
        return ReportLastError("CloseHandle");
    }
    if (const std::int32_t code = MoveAside(path, identity)) {
        return code;
    }
    // A folder put under the name again since is someone else's: refused.
    if (!Os.CreateDirectoryW(path.c_str(), descriptor.Attributes())) {
        return ReportLastError("CreateDirectory");
    }
    return HoldNewLevel(path, held);
}

// One level below a level that is safe already.
std::int32_t SecureLevel(const std::wstring& path, PSID systemOwner, ProtectedDescriptor& descriptor, FileHandle& held)
{
    if (Os.CreateDirectoryW(path.c_str(), descriptor.Attributes())) {
        return HoldNewLevel(path, held);
    }
    const DWORD error = Os.GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
        return ReportErrorCode("CreateDirectory", error);
    }
    return SecureExistingLevel(path, systemOwner, descriptor, held);
}

// The product package folder's levels below the common application data
// folder, then the support logs' folder below them.
auto LevelNames()
{
    return std::array{LauncherConfig.VendorFolderName, LauncherConfig.InstallersFolderName,
        LauncherConfig.ProductFolderName, L"Logs"};
}
constexpr std::size_t ProductLevels = 3;

}  // namespace

std::wstring ProductFolderBelowCommonAppData()
{
    const auto names = LevelNames();
    std::wstring path = names[0];
    for (std::size_t level = 1; level < ProductLevels; ++level) {
        path += L"\\";
        path += names[level];
    }
    return path;
}

std::int32_t ProductPackageFolder::Open(std::wstring& folder)
{
    return OpenLevels(LevelNames().data(), ProductLevels, folder);
}

std::int32_t ProductPackageFolder::OpenLogs(std::wstring& folder)
{
    return OpenLevels(LevelNames().data(), ProductLevels + 1, folder);
}

std::int32_t ProductPackageFolder::OpenLevels(const wchar_t* const* names, std::size_t count, std::wstring& folder)
{
    Release();
    wchar_t commonAppData[512];
    const HRESULT found = Os.SHGetFolderPathW(/*hwnd=*/nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE,
        /*hToken=*/nullptr, SHGFP_TYPE_CURRENT, commonAppData);
    if (FAILED(found)) {
        return ReportFailure("SHGetFolderPath", found);
    }
    ProtectedDescriptor descriptor;
    if (const std::int32_t code = descriptor.Parse(PackageFolderDescriptor)) {
        return code;
    }
    RecordedOwner systemOwner;
    if (const std::int32_t code = ReadSystemOwner(commonAppData, systemOwner)) {
        return code;
    }
    std::wstring path = commonAppData;
    for (std::size_t level = 0; level < count; ++level) {
        path += L"\\";
        path += names[level];
        if (const std::int32_t code = SecureLevel(path, systemOwner.Owner, descriptor, levels_[level])) {
            Release();
            return code;
        }
    }
    folder = path + L"\\";
    return 0;
}

void ProductPackageFolder::Release()
{
    // The deepest level first, the way they were taken.
    for (std::size_t level = MostLevels; level-- > 0;) {
        levels_[level].Close();
    }
}
